#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fuzzes the data file loader and the table import: builds
# fuzz/loader_fuzzer and fuzz/table_fuzzer with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz/ and runs
# each from its committed corpus (fuzz/corpus/loader/, fuzz/corpus/table/)
# for half of SECONDS (60 unless given, so 30 s each; at least 1 s each).
# Fails on a crash, a sanitizer finding, a leak or an input that takes more
# than 10 s; the input is then left in build-fuzz/ as crash-*, leak-* or
# timeout-*. New inputs go to build-fuzz/corpus/ and build-fuzz/corpus-table/,
# so the committed corpora stay as they are.
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

echo "== Building the fuzz targets"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DORVANE_WERROR=ON \
  -DORVANE_SANITIZE=address,undefined -DORVANE_BUILD_FUZZ=ON \
  -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$(nproc)" --target loader_fuzzer table_fuzzer

table_seconds=$(( seconds / 2 > 0 ? seconds / 2 : 1 ))
loader_seconds=$(( seconds - table_seconds > 0 ? seconds - table_seconds : 1 ))

# fuzz TARGET SECONDS NEW_CORPUS COMMITTED_CORPUS
fuzz() {
  mkdir -p "$3"
  ASAN_OPTIONS=abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/fuzz/$1" -max_total_time="$2" -timeout=10 \
      -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
      -artifact_prefix=build-fuzz/ "$3" "$4"
}

echo "== Fuzzing the loader for ${loader_seconds} s"
fuzz loader_fuzzer "$loader_seconds" build-fuzz/corpus fuzz/corpus/loader
echo "== Fuzzing the table import for ${table_seconds} s"
fuzz table_fuzzer "$table_seconds" build-fuzz/corpus-table fuzz/corpus/table
