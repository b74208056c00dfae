#!/usr/bin/env bash
# Vector-path benchmark: times the statistics-only run (`vantor --quiet -t-
# -m- FILE`) with VANTOR_ISA forced to each path the processor supports, on
# a square 2,000 x 1,000, a wide 5,000 x 300 and a tall 1,000,000 x 20
# table, and prints a table of path x table with the ratio to sse2.
# Times are CPU seconds (user + system), the best of RUNS runs, so that other
# load on the machine counts as little as it can.
#
# Usage: bench/isa.sh       (BUILD=dir chooses the build directory,
#                            RUNS the repetitions, default 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD:-$root/build-bench}")
data=$root/bench/data
runs=${RUNS:-3}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantor gendata >/dev/null
mkdir -p "$data"
cd "$data"  # the invocation log goes to the current directory

tables=("table_2000x1000.txt 2000 1000 3" "table_5000x300.txt 5000 300 2"
        "table_1000000x20.txt 1000000 20 1")
for table in "${tables[@]}"; do
  read -r file rows cols seed <<<"$table"
  if [ ! -s "$file" ]; then
    echo "generating $file" >&2
    "$build/gendata" "$rows" "$cols" "$seed" >"$file.tmp" && mv "$file.tmp" "$file"
  fi
done

# best ISA FILE: the best CPU time of the run; empty when the path is refused.
best() {
  local b= i s
  for ((i = 0; i < runs; i++)); do
    VANTOR_ISA=$1 /usr/bin/time -f '%U %S' -o time.out "$build/vantor" --quiet -t- -m- "$2" \
      >/dev/null 2>&1 || { rm -f time.out; return 0; }
    s=$(awk '{ print $1 + $2 }' time.out)
    if [ -z "$b" ] || awk -v a="$s" -v b="$b" 'BEGIN { exit !(a < b) }'; then b=$s; fi
  done
  rm -f time.out
  echo "$b"
}

printf '%-8s' path
for table in "${tables[@]}"; do read -r _ rows cols _ <<<"$table"; printf '%22s' "$rows x $cols"; done
echo
declare -A base
for isa in sse2 avx2 avx512; do
  printf '%-8s' "$isa"
  for table in "${tables[@]}"; do
    read -r file _ <<<"$table"
    t=$(best "$isa" "$file")
    if [ -z "$t" ]; then printf '%22s' "not supported"; continue; fi
    [ "$isa" = sse2 ] && base[$file]=$t
    printf '%12.2f s %5.2fx ' "$t" "$(awk -v t="$t" -v b="${base[$file]}" 'BEGIN { print t / b }')"
  done
  echo
done
