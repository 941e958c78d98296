#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Writes the canonical figures of the bundled sample, so that anyone can
# look at what a journal would print: a single column (85 x 60 mm) and a
# double column (170 x 100 mm), the equal-area chart, the Rf/phi plot and
# both as panels side by side, in PDF, SVG and PNG at 600 dpi, in the standard and the colour-blind
# palette, each in figure style with its caption. Then, for the smallest
# accepted size (32 x 32 mm), one of each plot, to show that the plot stays.
# What a figure left out to keep its plot is listed in OUT_DIR/notes.txt.
#
#   bench/figure_gallery.sh BUILD_DIR OUT_DIR
#
# BUILD_DIR is a build folder with app/orvane-cli; OUT_DIR is made if need
# be. The names say what each figure is: polar-single-colour-blind.pdf,
# rfphi-double-standard.png, panels-double-standard.svg, ...
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 BUILD_DIR OUT_DIR" >&2
  exit 2
fi
cli="$1/app/orvane-cli"
out="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sample="$here/examples/sampledata.txt"
if [[ ! -x "$cli" ]]; then
  echo "$0: no orvane-cli in $1/app" >&2
  exit 1
fi
mkdir -p "$out"
notes="$out/notes.txt"
: > "$notes"

figure() {  # figure NAME EXTENSION [options...]
  local name=$1 ext=$2
  shift 2
  "$cli" --chart "$out/$name.$ext" "$@" "$sample" > /dev/null 2>> "$notes"
}

for plot in polar rfphi panels; do
  if [[ $plot == panels ]]; then
    what=(--panels polar,rfphi)
  else
    what=(--plot "$plot")
  fi
  for column in single:85x60 double:170x100; do
    for palette in standard colour-blind; do
      name="$plot-${column%%:*}-$palette"
      for ext in pdf svg png; do
        figure "$name" "$ext" "${what[@]}" --figure-size "${column#*:}" \
          --dpi 600 --figure-style --caption --palette "$palette"
      done
    done
  done
  figure "$plot-smallest" pdf "${what[@]}" --figure-size 32x32 \
    --figure-style --caption
done
echo "$(ls "$out" | grep -vc notes.txt) figures in $out"
