#!/usr/bin/env bash
# Builds vantor and runs it on the bundled examples: statistics, matrices,
# histogram and principal components of examples/measurements.txt, then R's
# write.csv export examples/plots_r.csv read as it is, with the JSON document
# and the HTML report; all written into demo/ beside copies of the data.
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh >/dev/null
mkdir -p demo
cp examples/measurements.txt examples/plots_r.csv demo/
cd demo
../build/vantor -c -v -h10 -e -f -n measurements.txt
echo
../build/vantor --csv --json --report plots_r.csv
echo
echo "Result files in demo/:"
ls measurements.* plots_r.*
echo
echo "Report page: $PWD/plots_r.html (open it in a browser)"
