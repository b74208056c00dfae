#!/usr/bin/env bash
# Configures and builds vantor and its tests in build/ (Release). Installs
# nothing: scripts/setup.sh does that for the demo and test commands.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
