#!/usr/bin/env bash
# Statistics benchmark: times the default run (`vantor --quiet FILE`: loading,
# extremes and histogram counts, moments with both matrices, median and
# quartiles, ".mvd" and ".inp") on a tall 1,000,000 x 20 table and a wide
# 5,000 x 300 one, then the statistics phase alone on the same shapes
# (stats_phase, no file reading).
#
# Usage: bench/stats.sh       (BUILD=dir chooses the build directory,
#                              RUNS the repetitions, default 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD:-$root/build-bench}")
data=$root/bench/data
runs=${RUNS:-3}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantor gendata stats_phase >/dev/null
mkdir -p "$data"
cd "$data"  # the invocation log goes to the current directory

# name rows cols seed goal-in-seconds; the tall table is the one bench/run.sh
# generates too.
tables=(
  "table_1000000x20.txt 1000000 20 1 2.0"
  "table_5000x300.txt 5000 300 2 0.5"
)

for table in "${tables[@]}"; do
  read -r file rows cols seed goal <<<"$table"
  if [ ! -s "$file" ]; then
    echo "generating $file" >&2
    "$build/gendata" "$rows" "$cols" "$seed" >"$file.tmp" && mv "$file.tmp" "$file"
  fi
  best= peak=0
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %M' -o time.out "$build/vantor" --quiet "$file" >/dev/null 2>&1
    read -r s kb <time.out
    if [ -z "$best" ] || awk -v a="$s" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$s; fi
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  rm -f time.out
  printf '%8s x %-4s vantor --quiet: %5.2f s (goal < %s s), peak %.0f MiB\n' "$rows" "$cols" "$best" \
    "$goal" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')"
  printf '                  phase alone: '
  "$build/stats_phase" "$rows" "$cols" "$runs"
done
