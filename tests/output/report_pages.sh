#!/usr/bin/env bash
# The report as the program writes it, in a browser: runs the built vantor
# with --report on two bundled examples, with and without the eigen
# analysis, and hands each page to report_browser.sh with the counts its
# data must give.
#
#   report_pages.sh VANTOR SOURCE_DIR
#
# Exit 0 when every page passes, 1 on a failure, 77 (skip) when Chromium
# is not installed.
set -u
vantor=$(readlink -f "$1")
source_dir=$(readlink -f "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source_dir/examples/fish.txt" "$source_dir/examples/measurements.txt" \
  "$source_dir/examples/plots_r.csv" "$work/"
cd "$work" || exit 1

# check ARGS... -- PAGE BARS CELLS POINTS
check() {
  local args=()
  while [ "$1" != -- ]; do args+=("$1"); shift; done
  shift
  if ! "$vantor" --quiet --no-log "${args[@]}"; then
    echo "FAIL: vantor ${args[*]}" >&2
    exit 1
  fi
  bash "$source_dir/tests/output/report_browser.sh" "$@"
  local status=$?
  [ $status = 0 ] || exit $status
}

# fish: 40 rows of 7 variables, 30 bins each: 7 x 30 bars, a 7 x 7 heat map,
# and with -e a 7 x 7 loadings map and 40 score points.
check --report fish.txt -- fish.html 210 49 0
# measurements: 12 rows of 5 variables, scores centred.
check --report -e -n measurements.txt -- measurements.html 150 50 12
# What the page must own up to: a row left out for a missing value, a NaN
# read as a value, a constant column shown as measured, the definitions.
printf '1 2 5\n2 NA 5\n3 nan 5\n4 3 5\n5 1 5\n' >honest.txt
check --report --missing=NA honest.txt -- honest.html 90 9 0 \
  "1 row was left out for a missing value (20 % of the 5 rows read)" \
  "holds 1 value that is not a finite number" "zero-variance rule's stand-ins" "Definitions: "
# Groups by soil: the whole table's 4 x 30 bars, 4 x 4 correlations and
# loadings, a score point a row, and the comparison of the groups.
check --csv --by=soil --report -e plots_r.csv -- plots_r.html 120 32 14 "Groups by soil"
# Sampling adequacy and the rotated loadings under --conventional: the
# loadings map's 7 x 7 cells beside the correlations'.
check --conventional -e3 --rotate=varimax --report fish.txt -- fish.html 210 98 40 \
  "Is a component analysis appropriate?" "Rotated loadings (varimax)" "Rotation matrix"
# The same groups with --conventional: the normality line of each card and
# the table of the group tests.
check --csv --by=soil --conventional --report plots_r.csv -- plots_r.html 120 16 0 \
  "Shapiro–Wilk W = " "Kruskal–Wallis" "Brown–Forsythe"
echo "PASS: every page"
