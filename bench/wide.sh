#!/usr/bin/env bash
# Principal components of wide tables: `vantor -e` on one and two threads
# against numpy (loadtxt is left out: corrcoef + eigh of the loaded array)
# and R (cor + eigen of the loaded matrix) on the same generated tables,
# medians of three, with the program's peak memory.
# Usage: bench/wide.sh [ROWSxCOLS ...]   (default 2000x1000 4000x2000 10000x3000)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantor gendata >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(2000x1000 4000x2000 10000x3000)
printf '%-12s %12s %12s %12s %12s %12s\n' table "vantor 1t" "vantor 2t" "numpy" "R" "peak MiB"
for size in "${sizes[@]}"; do
  rows=${size%x*} cols=${size#*x}
  "$build/gendata" "$rows" "$cols" 1 >"$work/data.txt"
  declare -A t=()
  for threads in 1 2; do
    t[$threads]=$(for k in 1 2 3; do
      /usr/bin/time -f "%e %M" -o "$work/time" "$build/vantor" --quiet --no-log --threads=$threads \
        -e -m- -t- "$work/data.txt"
      cut -d' ' -f1 "$work/time"
    done | median)
  done
  peak=$(( $(cut -d' ' -f2 "$work/time") / 1024 ))
  numpy=$(/usr/bin/python3 - "$work/data.txt" <<'PY'
import sys, time, numpy
x = numpy.loadtxt(sys.argv[1])
times = []
for _ in range(3):
    start = time.perf_counter()
    numpy.linalg.eigh(numpy.corrcoef(x, rowvar=False))
    times.append(time.perf_counter() - start)
print("%.2f" % sorted(times)[1])
PY
)
  r=$(command -v Rscript >/dev/null && Rscript -e "x <- as.matrix(read.table('$work/data.txt'));
    t <- sapply(1:3, function(k) system.time(eigen(cor(x), symmetric = TRUE))[['elapsed']]);
    cat(sprintf('%.2f', median(t)))" || echo "-")
  printf '%-12s %12s %12s %12s %12s %12s\n' "$size" "${t[1]}" "${t[2]}" "$numpy" "$r" "$peak"
done
echo "vantor's times include reading the text file; numpy's and R's do not."
