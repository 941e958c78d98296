#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a test program as a user without root's privileges. Root may read and
# write every file, so the tests of refused permissions would only skip when
# CI runs as root; run here, they must run, and a skip fails.
#   run_unprivileged.sh PROGRAM ARGS...
set -eu
program="$1"
if [ "$(id -u)" -eq 0 ]; then
  nobody="setpriv --reuid=65534 --regid=65534 --clear-groups"
  # The build must be reachable by that user; a build inside a private
  # folder (root's home) is not, and CTest then shows the test as skipped.
  if ! $nobody test -x "$program"; then
    echo "run_unprivileged.sh: $program is not reachable as the user nobody" >&2
    exit 77
  fi
  set -- $nobody env HOME=/tmp "$@"
fi
status=0
out=$(cd / && "$@" 2>&1) || status=$?
printf '%s\n' "$out"
if [ "$status" -ne 0 ]; then exit "$status"; fi
if printf '%s\n' "$out" | grep -q '\[  SKIPPED \]'; then
  echo "run_unprivileged.sh: a test skipped although it ran unprivileged" >&2
  exit 1
fi
