# SPDX-License-Identifier: MIT
# Compiler settings shared by every target: the floating-point rules of the
# analysis, the warnings, and the sanitizer builds.

# The analysis is fixed bit for bit: single-precision storage with x87
# extended evaluation. Contracting a*b+c into a fused multiply-add, or any
# fast-math licence, would change the figures, so these flags hold for every
# translation unit.
if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i.86")
  message(WARNING "long double is not the x87 80-bit format on "
                  "${CMAKE_SYSTEM_PROCESSOR}: results will differ in the "
                  "last bits")
endif()
add_compile_options(-ffp-contract=off -fno-fast-math)
# No path of the source tree ends up in a binary through __FILE__.
add_compile_options(-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=)

# orvane::warnings: the warning set of the project's own targets.
option(ORVANE_WERROR "Treat compiler warnings as errors" OFF)
add_library(orvane_warnings INTERFACE)
add_library(orvane::warnings ALIAS orvane_warnings)
# Narrowing, shadowing, C casts and silent float-to-double promotion are
# warned about: a narrowing the analysis intends is written as a static_cast
# at its place, so that no precision is lost or gained unseen.
target_compile_options(orvane_warnings INTERFACE -Wall -Wextra -Wpedantic
                       -Wconversion -Wshadow -Wold-style-cast)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(orvane_warnings INTERFACE -Wdouble-promotion)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # clang's -Wconversion takes in the sign conversions, which GCC leaves out
  # of it in C++, and its -Wdouble-promotion the float to long double
  # widening that every evaluation of the analysis does on purpose: the
  # fuzz build (clang) keeps GCC's set.
  target_compile_options(orvane_warnings INTERFACE -Wno-sign-conversion)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND
   CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 warns falsely about std::string concatenation (its bug 105329).
  target_compile_options(orvane_warnings INTERFACE -Wno-restrict)
endif()
if(ORVANE_WERROR)
  target_compile_options(orvane_warnings INTERFACE -Werror)
endif()

# ORVANE_SANITIZE=address,undefined or ORVANE_SANITIZE=thread builds every
# target with those sanitizers; a finding ends the program with an error.
set(ORVANE_SANITIZE "" CACHE STRING
    "Sanitizers to build with: address,undefined or thread (empty: none)")
if(ORVANE_SANITIZE)
  if(NOT ORVANE_SANITIZE MATCHES "^(address,undefined|undefined,address|address|undefined|thread)$")
    message(FATAL_ERROR "ORVANE_SANITIZE must be address,undefined or thread, "
                        "not '${ORVANE_SANITIZE}'")
  endif()
  add_compile_options(-fsanitize=${ORVANE_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ORVANE_SANITIZE})
endif()

# ORVANE_BUILD_FUZZ: every target is instrumented for libFuzzer's coverage
# (the fuzz target itself links libFuzzer's main). Usually together with
# ORVANE_SANITIZE=address,undefined, as scripts/fuzz.sh builds it.
if(ORVANE_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ORVANE_BUILD_FUZZ needs clang "
                        "(-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
  add_link_options(-fsanitize=fuzzer-no-link)
endif()

# orvane_add_layer(name DEPENDS libs...): the library of one layer, from the
# .cpp files of its src/ folder, with include/ as its public include root,
# so that no lower layer can even find its headers.
function(orvane_add_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "SOURCES;DEPENDS")
  add_library(orvane_${name} ${LAYER_SOURCES})
  add_library(orvane::${name} ALIAS orvane_${name})
  target_include_directories(orvane_${name}
    PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_compile_features(orvane_${name} PUBLIC cxx_std_20)
  target_link_libraries(orvane_${name} PUBLIC ${LAYER_DEPENDS}
                                       PRIVATE orvane::warnings)
endfunction()
