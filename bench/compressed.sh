#!/usr/bin/env bash
# Compressed input benchmark: a 1,000,000 x 20 CSV table compressed with
# gzip, zstd, xz and bzip2, each read as `vantor --csv --quiet FILE`, against
# the decompressor alone (`zcat FILE >/dev/null` and the like) and against
# `DECOMPRESSOR FILE | vantor --csv --quiet -`. Prints the best of RUNS
# wall-clock times per command and vantor's time over the pipe's.
#
# Usage: bench/compressed.sh   (BUILD=dir chooses the build directory, RUNS
#                               the repetitions, default 3, FORMATS some of
#                               "gz zst xz bz2", default all)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD:-$root/build-bench}")
data=$root/bench/data
runs=${RUNS:-3}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantor gendata >/dev/null
mkdir -p "$data"
cd "$data"  # the invocation log goes to the current directory

csv=table_1000000x20.csv
if [ ! -s "$csv" ]; then
  echo "generating $csv" >&2
  "$build/gendata" 1000000 20 1 | sed -e 's/^[[:blank:]]*//' -e 's/[[:blank:]][[:blank:]]*/,/g' >"$csv.tmp" && mv "$csv.tmp" "$csv"
fi

# best COMMAND: the best wall-clock seconds of RUNS runs of the shell command.
best() {
  local b= s
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e' -o time.out bash -c "$1" >/dev/null 2>&1
    s=$(tail -n 1 time.out)
    if [ -z "$b" ] || awk -v a="$s" -v b="$b" 'BEGIN { exit !(a < b) }'; then b=$s; fi
  done
  echo "$b"
}

vantor=$build/vantor
printf '%-6s %10s %10s %10s %8s\n' format decompress pipe vantor ratio
formats=" ${FORMATS:-gz zst xz bz2} "
for entry in "gz:gzip -c:zcat" "zst:zstd -q -c:zstdcat" "xz:xz -c -T1:xzcat" "bz2:bzip2 -c:bzcat"; do
  IFS=: read -r ext compress cat <<<"$entry"
  [[ $formats == *" $ext "* ]] || continue
  file=$csv.$ext
  [ -s "$file" ] || { $compress "$csv" >"$file.tmp" && mv "$file.tmp" "$file"; }
  alone=$(best "$cat $file >/dev/null")
  pipe=$(best "$cat $file | $vantor --csv --quiet - >/dev/null")
  direct=$(best "$vantor --csv --quiet $file >/dev/null")
  ratio=$(awk -v a="$direct" -v b="$pipe" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-6s %10s %10s %10s %8s\n' "$ext" "$alone" "$pipe" "$direct" "$ratio"
done
rm -f time.out stdin.mvd stdin.inp "${csv%.csv}.mvd" "${csv%.csv}.inp"
