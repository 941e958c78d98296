#!/usr/bin/env bash
# From a fresh machine: installs, builds from scratch and runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
rm -rf build
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
