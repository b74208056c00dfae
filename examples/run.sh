#!/usr/bin/env bash
# Runs vantor on the bundled examples. Result files are written beside the
# data file, so the data sets are copied into an output directory first:
# the one named as the first argument, else a new temporary directory.
# Nothing is written into examples/ itself.
#
#   bash examples/run.sh            # results in a fresh /tmp directory
#   bash examples/run.sh out/       # results in out/ (created if missing)
#
# The program is $VANTOR if set, else build/vantor (built when missing).
set -eu
examples=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$examples")

if [ -n "${VANTOR:-}" ]; then
  vantor=$VANTOR
else
  vantor=$root/build/vantor
  [ -x "$vantor" ] || bash "$root/scripts/build.sh" >/dev/null
fi
case "$vantor" in /*) ;; */*) vantor=$PWD/$vantor ;; esac

out=${1:-$(mktemp -d "${TMPDIR:-/tmp}/vantor-examples.XXXXXX")}
mkdir -p "$out"
out=$(cd "$out" && pwd)
[ "$out" != "$examples" ] || { echo "run.sh: choose an output directory other than examples/" >&2; exit 1; }
cp "$examples"/measurements.txt "$examples"/weather.txt "$examples"/fish.txt \
  "$examples"/plots_r.csv "$examples"/plots.tsv "$examples"/plots_csv2.csv "$out"/
cd "$out"

run() {
  echo
  echo "\$ vantor $*"
  "$vantor" "$@"
}

# Statistics with quartiles, matrices, a 10-bin histogram and the principal
# components of five field measurements.
run -c -v -h10 -e -f -n --quartiles measurements.txt
# Variables reordered: humidity (column 3) first, then pressure, temperature.
run -v -s "3 1 2" weather.txt
# Principal components of seven correlated fish measurements, four scores.
run --quiet -c --square -e4 -f -n fish.txt
# One plot survey as three exports, read as written: R's write.csv (row
# labels, a text column, NA), a tab-separated file with empty cells, and R's
# write.csv2 (semicolons, decimal commas) with two columns chosen.
run --csv --json --report plots_r.csv
run --separator=tab plots.tsv
run --separator=';' --comma-decimals --columns=pH,height plots_csv2.csv

echo
echo "Results in $out:"
ls "$out"
