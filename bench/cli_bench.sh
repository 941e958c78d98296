#!/usr/bin/env bash
# Times orvane-cli on generated data files of 10^3, 10^5 and 10^6 markers
# (plain report and --json). Usage: bench/cli_bench.sh [build-dir]
set -euo pipefail
build=${1:-build}
cli="$build/app/orvane-cli"
[ -x "$cli" ] || { echo "build $cli first (bash scripts/build.sh)" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

for n in 1000 100000 1000000; do
  awk -v n="$n" 'BEGIN { srand(7); for (i = 0; i < n; i++)
      printf "%.3f 1.000 %.2f\n", 1.5 * (1.05 + 2.95 * rand()), -60 + 180 * rand() }' \
      > "$dir/data_$n.txt"
done

time_it() {  # prints the best wall time of 3 runs, in seconds
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s.%N)
    "$@" > /dev/null 2>&1 || true
    t1=$(date +%s.%N)
    best=$(awk -v a="$t0" -v b="$t1" -v c="$best" 'BEGIN { t = b - a;
        if (c == "" || t < c) print t; else print c }')
  done
  printf '%.3f' "$best"
}

printf '%-10s %12s %12s %10s\n' "markers" "report (s)" "json (s)" "file (MB)"
for n in 1000 100000 1000000; do
  f="$dir/data_$n.txt"
  size=$(awk -v b="$(stat -c %s "$f")" 'BEGIN { printf "%.1f", b / 1e6 }')
  printf '%-10s %12s %12s %10s\n' "$n" "$(time_it "$cli" "$f")" \
    "$(time_it "$cli" --json "$f")" "$size"
done
