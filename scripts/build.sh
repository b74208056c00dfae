#!/usr/bin/env bash
# Configures and builds vantor and its tests in build/ (Release).
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
