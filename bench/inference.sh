#!/usr/bin/env bash
# What --conventional and --rank cost: the tall 1,000,000 x 20 table with
# --conventional (intervals, robust measures, normality, tests of every
# pair, sampling adequacy) against the default run, and the rank
# correlations against pandas' DataFrame.corr(method=) and R's
# cor(method=) on the same values. vantor's whole runs include reading the
# file; its "matrix alone" (bench/rank_phase), pandas' and R's times do not
# (their tables are loaded before the clock starts).
# Medians of RUNS (default 3) wall times, in one run of this script.
#
# Usage: bench/inference.sh   (BUILD=dir chooses the build directory)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD:-$root/build-bench}")
data=$root/bench/data
runs=${RUNS:-3}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantor gendata rank_phase >/dev/null
mkdir -p "$data"
cd "$data"  # the invocation log goes to the current directory

table() {  # rows cols seed: the file's name, generated once
  local file=table_$1x$2.txt
  [ -s "$file" ] || "$build/gendata" "$1" "$2" "$3" >"$file"
  echo "$file"
}

median_seconds() {  # command...: the median wall time of RUNS runs
  local times=()
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

tall=$(table 1000000 20 1)
plain=$(median_seconds "$build/vantor" --quiet --no-log "$tall")
conventional=$(median_seconds "$build/vantor" --quiet --no-log --conventional "$tall")
echo "1,000,000 x 20: default $plain s, --conventional $conventional s:" \
  "$(ratio "$conventional" "$plain") x (goal <= 1.3)"

# Rank correlations: pandas and R time the matrix alone, on the loaded table.
rank_table() {  # rows method [R]: vantor, pandas and (given R) R seconds
  local file
  file=$(table "$1" 10 3)
  local ours
  ours=$(median_seconds "$build/vantor" --quiet --no-log -t- -m- -c "--rank=$2" "$file")
  local theirs
  theirs=$(/usr/bin/python3 - "$file" "$2" "$runs" <<'EOF'
import sys, time, statistics, pandas
frame = pandas.read_csv(sys.argv[1], sep=r"\s+", header=None)
times = []
for _ in range(int(sys.argv[3])):
    start = time.perf_counter()
    frame.corr(method=sys.argv[2])
    times.append(time.perf_counter() - start)
print(f"{statistics.median(times):.3f}")
EOF
)
  # The matrix alone, on the loaded table, as pandas and R are timed.
  local phase
  phase=$("$build/rank_phase" "$file" "$2" 2 "$runs")
  local line="$1 x 10 --rank=$2: vantor $ours s (whole run), $phase s (matrix alone),"
  line+=" pandas $theirs s ($(ratio "$theirs" "$ours") x whole run, $(ratio "$theirs" "$phase") x matrix alone)"
  if [ -n "${3:-}" ]; then
    local r
    r=$(Rscript -e "x <- as.matrix(read.table('$file')); t <- replicate($runs, system.time(cor(x, method = '$2'))[['elapsed']]); cat(median(t))")
    line+=", R $r s ($(ratio "$r" "$ours") x whole run, $(ratio "$r" "$phase") x matrix alone)"
  fi
  echo "$line (goal >= 10 x)"
}
rank_table 1000000 spearman
rank_table 100000 spearman R
rank_table 100000 kendall
# R's Kendall takes every pair of rows: a smaller table for it.
rank_table 10000 kendall R
