# SPDX-License-Identifier: MIT
# The Debian package of the installed programs: `cpack` in the build folder,
# or the build's `package` target, writes orvane_<version>_<arch>.deb. The
# package holds what the install rules install, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "Orvane team")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_DESCRIPTION
"Orvane estimates the finite strain of a deformed rock from measured
elliptical strain markers. A data file lists one marker a line: its major
axis, its minor axis and the orientation of the major axis.

The optimal strain is the hyperbolic vector mean of the markers. Every
marker is retrodeformed by it, and 95% confidence limits of the strain ratio
and orientation come from bootstrap resamples drawn with a fixed seed, so the
same file always gives the same figures.

The package holds the window program, orvane, with its equal-area chart of
the measured and retrodeformed markers, and the command-line tool,
orvane-cli, which prints the report or JSON and draws the chart without a
display. Sample data are in /usr/share/orvane/examples.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs are installed without their symbol tables.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME orvane)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# A placeholder under the reserved example domain, as the AppStream id,
# until the project has an address of its own.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvane team <orvane@example.org>")
# The Qt libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# `package_source`: the tracked sources, without build folders.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build[^/]*/" "/out/")

include(CPack)
