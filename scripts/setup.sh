#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
set -euo pipefail

packages=(
  cmake g++ make pkg-config locales
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev libgl-dev
  fonts-dejavu-core fonts-liberation2
)

bash "$(dirname "$0")/install_packages.sh" "${packages[@]}"

# A locale with a decimal comma, for the tests of the report's separator:
# without it those tests fail, so the set-up fails first and says why.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "setup: the locale de_DE.UTF-8 could not be made" >&2
  exit 1
fi
