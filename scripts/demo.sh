#!/usr/bin/env bash
# Builds vantor and runs it on the bundled example: statistics, matrices,
# histogram and principal components of examples/measurements.txt, written
# into demo/ beside a copy of the data.
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh >/dev/null
mkdir -p demo
cp examples/measurements.txt demo/
cd demo
../build/vantor -c -v -h10 -e -f -n measurements.txt
echo
echo "Result files in demo/:"
ls measurements.*
