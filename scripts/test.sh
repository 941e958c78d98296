#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# From a fresh machine: installs, builds from scratch and runs the tests:
# first the release build (warnings are errors), then the same suite (less
# the third-party reader tests) built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then with ThreadSanitizer, then fuzzes the
# loader and the table import for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

echo "== Release build and tests"
rm -rf build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DORVANE_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The sanitizer builds keep only line tables for their reports (-g1), which
# shortens their compile and link time, and leave out the tests that hand our
# pictures to Inkscape and LibreOffice (label slow): the release run has
# them, and the writing of every picture is tested here too.
sanitizer_flags="-O2 -g1 -DNDEBUG"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
rm -rf build-asan
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$sanitizer_flags" \
  -DORVANE_WERROR=ON -DORVANE_SANITIZE=address,undefined \
  -DORVANE_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
# Qt and the font libraries are not built with the sanitizers; their
# allocations held until exit are not leaks of ours.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE slow

echo "== ThreadSanitizer"
rm -rf build-tsan
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$sanitizer_flags" \
  -DORVANE_WERROR=ON -DORVANE_SANITIZE=thread -DORVANE_BUILD_BENCH=OFF
# The build runs a program too (it draws the icons).
export TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp"
cmake --build build-tsan -j"$jobs"
ctest --test-dir build-tsan --output-on-failure -j"$jobs" -LE slow
unset TSAN_OPTIONS

echo "== Fuzzing the loader"
bash scripts/fuzz.sh 60
