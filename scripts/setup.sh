#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs everything the build and the tests need, from Debian's packages.
set -euo pipefail

packages=(
  cmake g++ make pkg-config locales
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev libgl-dev
  libgdal-dev gdal-bin
  libcgal-dev nlohmann-json3-dev
  fonts-dejavu-core fonts-liberation2
)

bash "$(dirname "$0")/install_packages.sh" "${packages[@]}"

# Two readers of our vector pictures, for the slow tests that render them
# (picture_readers_test): Inkscape (GDI records) and LibreOffice's Draw
# without its GUI (EMF+), the least that converts a metafile to PNG
# headless. Where they cannot be installed the tests are skipped, and say
# so; the build does not need them.
readers=(inkscape libreoffice-draw-nogui)
if ! bash "$(dirname "$0")/install_packages.sh" "${readers[@]}"; then
  echo "setup: ${readers[*]} could not be installed;" \
    "the picture reader tests will be skipped" >&2
fi
for reader in inkscape soffice; do
  if ! command -v "$reader" >/dev/null 2>&1; then
    echo "setup: $reader is missing; the picture reader tests that use it" \
      "will be skipped" >&2
  fi
done

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
