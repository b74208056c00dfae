#!/usr/bin/env bash
# Time against thread count: the default run (statistics and the ".mvd"
# file) of the tall (1,000,000 x 20), wide (5,000 x 300) and square
# (2,000 x 1,000) tables, and of the tall table as CSV with a names line, with --threads=N for N = 1, 2 and powers of two up
# to the processors this process may use; best of RUNS wall times, the peak
# resident set, the ratio to one thread, the processor time of the best
# run over its wall time (near N when the run had its N processors; far
# below it, another load on the machine has made the ratio meaningless),
# and a check that every N wrote the same bytes.
#
# Usage: bench/threads.sh [SHAPE...]   (tall wide square csv; default all)
# Environment: RUNS (default 3), THREADS (override the list, e.g. "1 2 4").
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
data=$root/bench/data
runs=${RUNS:-3}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target vantor gendata >/dev/null

cores=$(nproc)
if [ -n "${THREADS:-}" ]; then
  counts=($THREADS)
else
  counts=(1)
  for ((n = 2; n <= cores; n *= 2)); do counts+=("$n"); done
  [ "${counts[-1]}" = "$cores" ] || counts+=("$cores")
fi

declare -A shape_rows=([tall]=1000000 [wide]=5000 [square]=2000 [csv]=1000000)
declare -A shape_cols=([tall]=20 [wide]=300 [square]=1000 [csv]=20)
shapes=("$@")
[ ${#shapes[@]} -gt 0 ] || shapes=(tall wide square csv)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$data"
printf '%-7s %8s %10s %11s %8s %6s\n' shape threads seconds "peak MiB" ratio busy
for shape in "${shapes[@]}"; do
  rows=${shape_rows[$shape]} cols=${shape_cols[$shape]}
  file=$data/table_${rows}x${cols}.txt
  [ -s "$file" ] || { "$build/gendata" "$rows" "$cols" 1 >"$file.tmp" && mv "$file.tmp" "$file"; }
  format=()
  if [ "$shape" = csv ]; then
    format=(--csv)
    [ -s "${file%.txt}.csv" ] || awk 'BEGIN { OFS = "," }
      NR == 1 { h = "v1"; for (i = 2; i <= NF; i++) h = h ",v" i; print h }
      { $1 = $1; print }' "$file" >"${file%.txt}.csv"
    file=${file%.txt}.csv
  fi
  ln -sf "$file" "$work/t.txt"
  cat "$file" >/dev/null
  one=
  for n in "${counts[@]}"; do
    best= peak=0 busy=
    for ((i = 0; i < runs; i++)); do
      rm -f "$work"/t.mvd "$work"/t.inp
      (cd "$work" && /usr/bin/time -f '%e %M %U %S' -o time.txt "$build/vantor" --quiet --no-log \
        --threads="$n" "${format[@]}" t.txt >/dev/null 2>&1)
      read -r s kb user sys <"$work/time.txt"
      if [ -z "$best" ] || awk -v a="$s" -v b="$best" 'BEGIN { exit !(a < b) }'; then
        best=$s
        busy=$(awk -v u="$user" -v k="$sys" -v w="$s" 'BEGIN { printf "%.2f", (w > 0 ? (u + k) / w : 0) }')
      fi
      [ "$kb" -gt "$peak" ] && peak=$kb
    done
    sum=$(cat "$work"/t.mvd "$work"/t.inp 2>/dev/null | md5sum)
    [ -n "$one" ] || { one=$best; first_sum=$sum; }
    same=""; [ "$sum" = "$first_sum" ] || same="  OUTPUT DIFFERS"
    printf '%-7s %8s %10.2f %11.1f %8.2f %6s%s\n' "$shape" "$n" "$best" \
      "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "$(awk -v a="$best" -v b="$one" 'BEGIN { print a / b }')" \
      "$busy" "$same"
  done
done
