#!/usr/bin/env bash
# Group benchmark: a generated table (1,000,000 x 20 unless ROWS/COLS say
# otherwise) with a text group column of 10 levels, as CSV. Times whole
# processes, loading included: `vantor --csv --by=g` (statistics, .cor and
# quartiles of the table and of every group) against pandas reading the same
# file and computing groupby().describe() and each group's corr(), with the
# peak memory of each and of vantor's run without --by.
# Usage: bench/groups.sh            (BUILD=dir to choose the build directory)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-bench}
rows=${ROWS:-1000000}
cols=${COLS:-20}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantor gendata >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/gendata" "$rows" "$cols" 1 |
  awk -v c="$cols" 'BEGIN { printf "g"; for (j = 1; j <= c; ++j) printf ",x%d", j; print "" }
    { printf "level%d", NR % 10; for (j = 1; j <= NF; ++j) printf ",%s", $j; print "" }' \
    >"$work/data.csv"
echo "table: $rows x $cols and a group column of 10 levels, $(du -h "$work/data.csv" | cut -f1)"

run() {
  /usr/bin/time -o "$work/time" -f "%e s elapsed, %U s user, %M KiB peak" "$@" >/dev/null
  echo "$(cat "$work/time")"
}
echo "vantor without --by: $(run "$build/vantor" --quiet --no-log --csv -c --results-dir="$work" "$work/data.csv")"
echo "vantor --by=g:       $(run "$build/vantor" --quiet --no-log --csv -c --by=g --results-dir="$work" "$work/data.csv")"
cat >"$work/pandas_groups.py" <<'PY'
import sys
import pandas as pd
df = pd.read_csv(sys.argv[1], float_precision="round_trip")
by = df.groupby("g")
by.describe()
by.corr()
PY
echo "pandas groupby:      $(run /usr/bin/python3 "$work/pandas_groups.py" "$work/data.csv")"
