#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds Orvane in ./build (Release, with tests and
# benchmarks).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
