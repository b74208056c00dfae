#!/usr/bin/env bash
# Eigen-analysis benchmark: times `vantor --quiet -e -m- -t-` on a generated
# table (2,000 x 1,000 unless ROWS/COLS say otherwise), then decomposes the
# same correlation matrix with the textbook column-wise rotation and with the
# program's row-wise one, reporting times, rotations and bit-identity.
# Usage: bench/eigen.sh            (BUILD=dir to choose the build directory)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-bench}
rows=${ROWS:-2000}
cols=${COLS:-1000}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantor gendata eigen_rotations >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/gendata" "$rows" "$cols" 1 >"$work/data.txt"
echo "table: $rows x $cols"

/usr/bin/time -o "$work/time" -f "vantor -e: %e s elapsed, %U s user, %M KiB peak" \
  "$build/vantor" --quiet -e -m- -t- "$work/data.txt"
cat "$work/time"

"$build/eigen_rotations" "$work/data.txt"
