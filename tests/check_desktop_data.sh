#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# check_desktop_data.sh DESKTOP_ENTRY METAINFO: the menu entry claims no
# type of file, and it and the AppStream description pass
# desktop-file-validate and appstreamcli without an error or a warning.
# Exits 77, which CTest counts as skipped, where the validators are not
# installed.
set -uo pipefail
desktop=$1
metainfo=$2

# The entry claims no type of file: with text/plain every text file, a
# README included, would open in Orvane by default and be refused. "Open
# With" lists the program without it.
if grep -q '^MimeType=' "$desktop"; then
  echo "$desktop: $(grep '^MimeType=' "$desktop"): Orvane would become the" \
    "default program of those files"
  exit 1
fi

missing=()
command -v desktop-file-validate >/dev/null || missing+=(desktop-file-utils)
command -v appstreamcli >/dev/null || missing+=(appstream)
if [ ${#missing[@]} -gt 0 ]; then
  echo "skipped: no validator; apt-get install ${missing[*]} to run it"
  exit 77
fi

status=0
# Hints are advice, not faults: the entry is listed under both Science and
# Education on purpose, which the validator notes as a hint.
out=$(desktop-file-validate "$desktop" 2>&1) || status=1
[ -n "$out" ] && echo "$out"
if grep -qE ": (error|warning): " <<<"$out"; then status=1; fi

# Exit status 3: warnings; infos and pedantic notes pass.
appstreamcli validate --no-net --explain "$metainfo" || status=1

[ $status -eq 0 ] && echo "both files are valid"
exit $status
