# SPDX-License-Identifier: MIT
cmake_minimum_required(VERSION 3.20)
# Checks that every source file of the project names its licence in its first
# lines, so that a file copied out of the tree still says under which terms.
# Run as: cmake -DSOURCE_DIR=... -P check_licence.cmake
file(GLOB_RECURSE files
  "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cmake"
  "${SOURCE_DIR}/*CMakeLists.txt" "${SOURCE_DIR}/*.sh" "${SOURCE_DIR}/*.py")
list(FILTER files EXCLUDE REGEX "/(build[^/]*|out|\\.git)/")
set(failures "")
foreach(file ${files})
  file(STRINGS "${file}" head LIMIT_COUNT 3)
  if(NOT head MATCHES "SPDX-License-Identifier: MIT")
    list(APPEND failures "${file}")
  endif()
endforeach()
list(LENGTH files count)
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Source files without an SPDX licence line:\n  ${text}")
endif()
message(STATUS "All ${count} source files name their licence")
