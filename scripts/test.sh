#!/usr/bin/env bash
# Builds vantor and runs the whole test suite: unit tests and end-to-end cases.
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cd build
ctest --output-on-failure -j "$(nproc)"
