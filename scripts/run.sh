#!/usr/bin/env bash
# From a fresh machine: installs, builds and analyses the bundled sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
./build/app/orvane-cli examples/sampledata.txt
