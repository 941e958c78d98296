#!/usr/bin/env bash
# Fuzzes the data file loader: builds fuzz/loader_fuzzer with clang,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz/
# and runs it from the committed corpus (fuzz/corpus/loader/) for SECONDS
# (60 unless given). Fails on a crash, a sanitizer finding, a leak or an
# input that takes more than 10 s; the input is then left in build-fuzz/ as
# crash-*, leak-* or timeout-*. New inputs go to build-fuzz/corpus/, so the
# committed corpus stays as it is.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
  echo "usage: scripts/fuzz.sh [SECONDS]" >&2
  exit 2
fi

# clang and its libFuzzer runtime, from Debian's packages when missing.
bash scripts/install_packages.sh clang libclang-rt-14-dev

echo "== Building the loader's fuzz target"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DORVANE_WERROR=ON \
  -DORVANE_SANITIZE=address,undefined -DORVANE_BUILD_FUZZ=ON \
  -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$(nproc)" --target loader_fuzzer

echo "== Fuzzing the loader for ${seconds} s"
mkdir -p build-fuzz/corpus
ASAN_OPTIONS=abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build-fuzz/fuzz/loader_fuzzer -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
    -artifact_prefix=build-fuzz/ build-fuzz/corpus fuzz/corpus/loader
