#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times orvane-cli on generated data files of 10^3, 10^5, 10^6 and 10^7
# markers, the plain report and --json: the median of 5 wall times and of 5
# CPU times (user + system) for each, and the peak resident memory (from
# /usr/bin/time), also per datum.
#
#   bench/cli_bench.sh [--skip-10m] [--runs N] [--data DIR] [BUILD_DIR]
#
# --skip-10m  leaves out the 10^7 files (about 180 MB of data, 2 GB of JSON).
# --runs N    times each row N times instead of 5.
# --data DIR  keeps the data files in DIR (d1000.txt, d100000.txt, ...) and
#             uses those already there; otherwise they are made in a folder
#             that is removed at the end.
# BUILD_DIR is the build folder (default: build).
set -euo pipefail

skip_10m=0
runs=5
data=""
build=build
while [ $# -gt 0 ]; do
  case "$1" in
    --skip-10m) skip_10m=1 ;;
    --runs) runs=${2:?--runs needs a count}; shift ;;
    --data) data=${2:?--data needs a folder}; shift ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) build=$1 ;;
  esac
  shift
done
cli="$build/app/orvane-cli"
[ -x "$cli" ] || { echo "build $cli first (bash scripts/build.sh)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
if [ -z "$data" ]; then
  data=$(mktemp -d)
  trap 'rm -rf "$data"' EXIT
fi
mkdir -p "$data"

sizes="1000 100000 1000000"
[ "$skip_10m" = 1 ] || sizes="$sizes 10000000"

for n in $sizes; do
  f="$data/d$n.txt"
  [ -s "$f" ] && continue
  awk -v n="$n" 'BEGIN { srand(7); for (i = 0; i < n; i++)
      printf "%.3f 1.000 %.2f\n", 1.5 * (1.05 + 2.95 * rand()), -60 + 180 * rand() }' \
      > "$f"
done

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Runs the command `runs` times; prints the median wall time, the median CPU
# time and the largest peak resident set (KB).
measure() {
  local walls="" cpus="" rss=0 out
  out=$(mktemp)
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s.%N)
    /usr/bin/time -f '%U %S %M' -o "$out" "$@" > /dev/null 2>&1 || true
    t1=$(date +%s.%N)
    walls+="$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')"$'\n'
    read -r user sys kb < <(tail -n 1 "$out")
    cpus+="$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')"$'\n'
    [ "$kb" -gt "$rss" ] && rss=$kb
  done
  rm -f "$out"
  echo "$(printf '%s' "$walls" | median) $(printf '%s' "$cpus" | median) $rss"
}

printf '%-9s %-7s %10s %10s %10s %10s %10s\n' "markers" "output" "wall (s)" \
  "cpu (s)" "RSS (MB)" "B/datum" "file (MB)"
for n in $sizes; do
  f="$data/d$n.txt"
  size=$(awk -v b="$(stat -c %s "$f")" 'BEGIN { printf "%.1f", b / 1e6 }')
  for mode in report json; do
    if [ "$mode" = json ]; then
      read -r wall cpu kb < <(measure "$cli" --json "$f")
    else
      read -r wall cpu kb < <(measure "$cli" "$f")
    fi
    awk -v n="$n" -v m="$mode" -v w="$wall" -v c="$cpu" -v k="$kb" -v s="$size" \
      'BEGIN { printf "%-9s %-7s %10.3f %10.2f %10.1f %10.1f %10s\n",
               n, m, w, c, k / 1024, k * 1024 / n, s }'
  done
done
