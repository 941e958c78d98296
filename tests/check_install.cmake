# SPDX-License-Identifier: MIT
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DVERSION=... -DRELEASE_DATE=...
#       -DOUT=... -P check_install.cmake
#
# Installs the build into OUT/usr, as the package does, and checks what a
# user gets: exactly the listed files; theme icons of the size their folder
# names; a desktop entry, an AppStream description and programs that name
# one another consistently; manual pages and a changelog gzipped without a
# name or time stamp, naming this release; the licence in Debian's copyright
# format, word for word LICENSE's; no path of this machine's source or
# build folder in the programs; and an installed orvane-cli that analyses
# the installed sample data.
cmake_minimum_required(VERSION 3.20)

set(failures 0)
macro(fail)
  string(JOIN "" message ${ARGN})
  message(SEND_ERROR "${message}")
  math(EXPR failures "${failures} + 1")
endmacro()

set(root ${OUT}/usr)
file(REMOVE_RECURSE ${OUT})
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${root}
  OUTPUT_QUIET RESULT_VARIABLE installed)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${installed}")
endif()

# Exactly these files: no test, benchmark or build tool, and every icon.
set(icon_sizes 16 22 24 32 48 64 128 256 512)
set(expected
  bin/orvane
  bin/orvane-cli
  ${LIBDIR}/orvane/orvane_gis.so
  share/applications/orvane.desktop
  share/doc/orvane/changelog.Debian.gz
  share/doc/orvane/copyright
  share/icons/hicolor/scalable/apps/orvane.svg
  share/lintian/overrides/orvane
  share/man/man1/orvane.1.gz
  share/man/man1/orvane-cli.1.gz
  share/metainfo/org.example.orvane.metainfo.xml
  share/orvane/examples/README.md
  share/orvane/examples/sampledata.txt
  share/orvane/examples/study/ew.txt
  share/orvane/examples/study/level.txt
  share/orvane/examples/study/ns.txt
  share/orvane/examples/study/study.json)
foreach(size IN LISTS icon_sizes)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/orvane.png)
endforeach()
# The user manual and the pictures it shows, beside the package's documents.
if(EXISTS ${SOURCE_DIR}/docs/manual.md)
  list(APPEND expected share/doc/orvane/manual.md)
  file(GLOB_RECURSE pictures RELATIVE ${SOURCE_DIR}/docs
       ${SOURCE_DIR}/docs/*.png)
  list(TRANSFORM pictures PREPEND share/doc/orvane/)
  list(APPEND expected ${pictures})
endif()
file(GLOB_RECURSE found RELATIVE ${root} ${root}/*)
set(extra ${found})
list(REMOVE_ITEM extra ${expected})
set(absent ${expected})
list(REMOVE_ITEM absent ${found})
foreach(f IN LISTS extra)
  fail("installed but not wanted: ${f}")
endforeach()
foreach(f IN LISTS absent)
  fail("not installed: ${f}")
endforeach()

# Each PNG is square, of the size of its folder.
foreach(size IN LISTS icon_sizes)
  set(png ${root}/share/icons/hicolor/${size}x${size}/apps/orvane.png)
  if(NOT EXISTS ${png})
    continue()
  endif()
  file(READ ${png} signature LIMIT 8 HEX)
  file(READ ${png} header OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING "${header}" 0 8 width)
  string(SUBSTRING "${header}" 8 8 height)
  math(EXPR width "0x${width}")
  math(EXPR height "0x${height}")
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    fail("${png} is not a PNG file")
  elseif(NOT width EQUAL size OR NOT height EQUAL size)
    fail("${png} is ${width}x${height}, not ${size}x${size}")
  endif()
endforeach()
set(svg ${root}/share/icons/hicolor/scalable/apps/orvane.svg)
if(EXISTS ${svg})
  file(READ ${svg} document)
  if(NOT document MATCHES "<svg[^>]*viewBox=\"0 0 ([0-9]+) ([0-9]+)\"" OR
     NOT CMAKE_MATCH_1 EQUAL CMAKE_MATCH_2)
    fail("${svg} is not a square SVG picture")
  endif()
endif()

# The examples are those of the source tree, unchanged.
foreach(f sampledata.txt README.md study/study.json study/ew.txt)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E compare_files ${SOURCE_DIR}/examples/${f}
            ${root}/share/orvane/examples/${f}
    RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    fail("share/orvane/examples/${f} differs from examples/${f}")
  endif()
endforeach()

# The desktop entry starts an installed program with the installed icon, and
# the AppStream description launches that entry and names this version.
set(desktop ${root}/share/applications/orvane.desktop)
set(metainfo ${root}/share/metainfo/org.example.orvane.metainfo.xml)
if(EXISTS ${desktop} AND EXISTS ${metainfo})
  file(READ ${desktop} entry)
  string(REGEX MATCH "\nExec=([^ \n]+)" _ "${entry}")
  if(NOT EXISTS ${root}/bin/${CMAKE_MATCH_1})
    fail("the desktop entry runs ${CMAKE_MATCH_1}, which is not installed")
  endif()
  string(REGEX MATCH "\nIcon=([^\n]+)" _ "${entry}")
  if(NOT EXISTS ${root}/share/icons/hicolor/scalable/apps/${CMAKE_MATCH_1}.svg)
    fail("the desktop entry shows icon ${CMAKE_MATCH_1}, which is not installed")
  endif()
  file(READ ${metainfo} component)
  string(REGEX MATCH "<id>([^<]+)</id>" _ "${component}")
  if(NOT metainfo MATCHES "/${CMAKE_MATCH_1}\\.metainfo\\.xml$")
    fail("the AppStream file is not named after its id ${CMAKE_MATCH_1}")
  endif()
  string(REGEX MATCH "<launchable type=\"desktop-id\">([^<]+)</launchable>" _
         "${component}")
  if(NOT EXISTS ${root}/share/applications/${CMAKE_MATCH_1})
    fail("the AppStream file launches ${CMAKE_MATCH_1}, which is not installed")
  endif()
  string(REGEX MATCH "<release version=\"([^\"]+)\" date=\"([^\"]+)\"" _
         "${component}")
  if(NOT CMAKE_MATCH_1 STREQUAL VERSION OR
     NOT CMAKE_MATCH_2 STREQUAL RELEASE_DATE)
    fail("the AppStream file's latest release is ${CMAKE_MATCH_1} of "
         "${CMAKE_MATCH_2}, the project is ${VERSION} of ${RELEASE_DATE}")
  endif()
  if(NOT component MATCHES "<project_license>MIT</project_license>")
    fail("the AppStream file does not name the MIT licence")
  endif()
endif()

# The gzipped documents are reproducible (gzip -n: no file name, a zero time
# stamp) and name this release: the manual pages in their title line, the
# changelog in its first entry.
find_program(GZIP gzip)
foreach(doc man/man1/orvane.1.gz man/man1/orvane-cli.1.gz
            doc/orvane/changelog.Debian.gz)
  set(gz ${root}/share/${doc})
  if(NOT EXISTS ${gz})
    continue()
  endif()
  file(READ ${gz} header LIMIT 8 HEX)
  string(SUBSTRING "${header}" 0 4 magic)
  string(SUBSTRING "${header}" 6 2 flags)
  string(SUBSTRING "${header}" 8 8 mtime)
  if(NOT magic STREQUAL "1f8b")
    fail("share/${doc} is not gzipped")
    continue()
  elseif(NOT flags STREQUAL "00" OR NOT mtime STREQUAL "00000000")
    fail("share/${doc} holds a file name or a time stamp (flags ${flags}, "
         "time ${mtime}): not gzip -n")
  endif()
  if(NOT GZIP)
    continue()
  endif()
  execute_process(COMMAND ${GZIP} -dc ${gz} OUTPUT_VARIABLE text)
  if(doc MATCHES "changelog")
    set(wanted "^orvane \\(${VERSION}-[0-9]+\\) ")
  else()
    set(wanted "\n\\.TH [^\n]* ${RELEASE_DATE} \"Orvane ${VERSION}\"")
  endif()
  if(NOT text MATCHES "${wanted}")
    fail("share/${doc} does not name release ${VERSION} of ${RELEASE_DATE}")
  endif()
endforeach()

# The copyright file: Debian's machine-readable format, and LICENSE's holder
# and terms word for word.
set(copyright ${root}/share/doc/orvane/copyright)
if(EXISTS ${copyright})
  file(READ ${copyright} text)
  file(READ ${SOURCE_DIR}/LICENSE licence)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${licence}")
  set(holder "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "^.*\nCopyright [^\n]*\n\n" "" terms "${licence}")
  string(REGEX REPLACE "[ \n.]+" " " terms "${terms}")
  string(REGEX REPLACE "^.*\nLicense: MIT\n" "" body "${text}")
  string(REGEX REPLACE "[ \n.]+" " " body "${body}")
  string(STRIP "${terms}" terms)
  string(STRIP "${body}" body)
  if(NOT text MATCHES "^Format: https://www\\.debian\\.org/doc/packaging-manuals/copyright-format/1\\.0/\n")
    fail("share/doc/orvane/copyright is not in the machine-readable format")
  elseif(NOT text MATCHES "\nFiles: \\*\nCopyright: ${holder}\nLicense: MIT\n")
    fail("share/doc/orvane/copyright does not give LICENSE's holder ${holder}")
  elseif(NOT body STREQUAL terms)
    fail("share/doc/orvane/copyright's terms differ from LICENSE's")
  endif()
endif()

# The programs find their data relative to where they lie, so no path of
# the source or build folder may be built into them (CHECK_PATHS: a release
# build, whose binaries carry no debug information).
foreach(program orvane orvane-cli)
  if(NOT CHECK_PATHS)
    break()
  endif()
  if(NOT EXISTS ${root}/bin/${program})
    continue()
  endif()
  file(STRINGS ${root}/bin/${program} texts)
  foreach(folder IN ITEMS ${SOURCE_DIR} ${BUILD_DIR})
    string(FIND "${texts}" "${folder}" at)
    if(NOT at EQUAL -1)
      fail("bin/${program} holds the path ${folder}")
    endif()
  endforeach()
endforeach()

# The installed tool analyses the installed sample.
if(EXISTS ${root}/bin/orvane-cli)
  execute_process(
    COMMAND ${root}/bin/orvane-cli
            ${root}/share/orvane/examples/sampledata.txt
    OUTPUT_VARIABLE report RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT report MATCHES "N += 252" OR
     NOT report MATCHES "R_s += [0-9]")
    fail("the installed orvane-cli does not report on the installed sample "
         "(exit ${status}):\n${report}")
  endif()
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} fault(s) in the installed files")
endif()
message(STATUS "the installation in ${root} is complete and consistent")
