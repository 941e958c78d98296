# SPDX-License-Identifier: MIT
# The Debian package of the installed programs: `cpack` in the build folder,
# or the build's `package` target, writes orvane_<version>_<arch>.deb. The
# package holds what the install rules install, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "Orvane team")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The Debian revision: the package of the project's version is 1.0-1, a
# second package of the same sources would be 1.0-2 (with an entry of its
# own in packaging/changelog.in).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(ORVANE_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
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

# The documents Debian asks of every package, in /usr/share/doc/orvane: the
# licence in the machine-readable copyright format, made from LICENSE so
# that the two cannot differ, and the changelog of the package, dated the
# project's release day. Both are made from packaging/ at configure time;
# the changelog is gzipped without a name or time stamp (gzip -n) so that
# the same sources give the same package.
#
# LICENSE: "MIT License", a blank line, the copyright line, a blank line and
# the terms. A copyright file holds the holder after "Copyright:" and the
# terms as continuation lines, a blank line written " .".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence_text)
if(NOT licence_text MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.*[^\n])\n*$")
  message(FATAL_ERROR "LICENSE does not read as the MIT licence: "
                      "no \"Copyright (c)\" line before the terms")
endif()
set(ORVANE_COPYRIGHT "${CMAKE_MATCH_1}")
string(REPLACE "\n\n" "\n.\n" ORVANE_LICENSE_TEXT "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " ORVANE_LICENSE_TEXT " ${ORVANE_LICENSE_TEXT}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in
               ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)

# The changelog's date is RFC 5322's, "Thu, 01 Dec 2011 00:00:00 +0000":
# the weekday by Sakamoto's rule.
string(REGEX MATCH "^([0-9]+)-0?([0-9]+)-0?([0-9]+)$" _
       "${ORVANE_RELEASE_DATE}")
set(year ${CMAKE_MATCH_1})
set(month ${CMAKE_MATCH_2})
set(day ${CMAKE_MATCH_3})
set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
math(EXPR month_index "${month} - 1")
list(GET month_offsets ${month_index} month_offset)
set(y ${year})
if(month LESS 3)
  math(EXPR y "${y} - 1")
endif()
math(EXPR weekday_index
     "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${month_offset} + ${day}) % 7")
set(weekdays Sun Mon Tue Wed Thu Fri Sat)
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET weekdays ${weekday_index} weekday)
list(GET months ${month_index} month_name)
string(SUBSTRING "0${day}" 0 -1 day2)
string(LENGTH "${day2}" day_length)
math(EXPR day_start "${day_length} - 2")
string(SUBSTRING "${day2}" ${day_start} 2 day2)
set(ORVANE_CHANGELOG_DATE
    "${weekday}, ${day2} ${month_name} ${year} 00:00:00 +0000")
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
               ${PROJECT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
find_program(ORVANE_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
  COMMAND ${ORVANE_GZIP} -9nc ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
          > ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
  COMMENT "Compressing the Debian changelog")
add_custom_target(orvane_package_documents ALL
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright
              ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
        DESTINATION ${ORVANE_DOCDIR})
# lintian's notes that do not apply to a package the project builds itself,
# each with its reason in the file.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME orvane)

# `package_source`: the tracked sources, without build folders.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build[^/]*/" "/out/")

include(CPack)
