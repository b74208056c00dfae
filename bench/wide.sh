#!/usr/bin/env bash
# Principal components of wide tables: `vantor -e` on one and two threads
# against numpy (loadtxt is left out: corrcoef + eigh of the loaded array)
# and R (cor + eigen of the loaded matrix) on the same generated tables,
# medians of three, with the program's peak memory; then the phases of one
# run (wide_phases, processor time) and LAPACK's eigh through numpy on the
# same correlation matrix, so that the sweeps can be set against it.
# Usage: bench/wide.sh [ROWSxCOLS ...]   (default 2000x1000 4000x2000 10000x3000)
#        BASELINE=path/to/vantor bench/wide.sh ...   also times another build
#        REPEATS=1 for one run of each (the 10,000 x 3,000 table takes minutes)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-bench}
repeats=${REPEATS:-3}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantor gendata wide_phases >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Median elapsed seconds of `-e` with PROGRAM on THREADS; the peak KiB of the
# last run is left in $work/time.
time_run() {
  for k in $(seq "$repeats"); do
    /usr/bin/time -f "%e %M" -o "$work/time" "$1" --quiet --no-log --threads="$2" \
      -e -m- -t- "$work/data.txt"
    cut -d' ' -f1 "$work/time"
  done | median
}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(2000x1000 4000x2000 10000x3000)
printf '%-12s %10s %10s %10s %10s %10s %10s %9s\n' table "vantor 1t" "vantor 2t" "base 1t" \
  "base 2t" "numpy" "R" "peak MiB"
phases=()
for size in "${sizes[@]}"; do
  rows=${size%x*} cols=${size#*x}
  "$build/gendata" "$rows" "$cols" 1 >"$work/data.txt"
  one=$(time_run "$build/vantor" 1)
  two=$(time_run "$build/vantor" 2)
  peak=$(( $(cut -d' ' -f2 "$work/time") / 1024 ))
  base1=- base2=-
  if [ -n "${BASELINE:-}" ]; then
    base1=$(time_run "$BASELINE" 1)
    base2=$(time_run "$BASELINE" 2)
  fi
  numpy=$(/usr/bin/python3 - "$work/data.txt" "$repeats" <<'PY'
import sys, time, numpy
x = numpy.loadtxt(sys.argv[1])
times = []
for _ in range(int(sys.argv[2])):
    start = time.perf_counter()
    numpy.linalg.eigh(numpy.corrcoef(x, rowvar=False))
    times.append(time.perf_counter() - start)
print("%.2f" % sorted(times)[len(times) // 2])
PY
)
  r=$(command -v Rscript >/dev/null && Rscript -e "x <- as.matrix(read.table('$work/data.txt'));
    t <- sapply(1:$repeats, function(k) system.time(eigen(cor(x), symmetric = TRUE))[['elapsed']]);
    cat(sprintf('%.2f', median(t)))" || echo "-")
  printf '%-12s %10s %10s %10s %10s %10s %10s %9s\n' "$size" "$one" "$two" "$base1" "$base2" \
    "$numpy" "$r" "$peak"
  line=$("$build/wide_phases" "$work/data.txt" "$work/matrix.bin")
  eigh=$(/usr/bin/python3 - "$work/matrix.bin" "$cols" "$repeats" <<'PY'
import sys, time, numpy
m = int(sys.argv[2])
a = numpy.fromfile(sys.argv[1]).reshape(m, m)
times = []
for _ in range(int(sys.argv[3])):
    start = time.process_time()
    numpy.linalg.eigh(a)
    times.append(time.process_time() - start)
print("%.2f" % sorted(times)[len(times) // 2])
PY
)
  phases+=("$line; numpy eigh of the same matrix $eigh s")
done
echo "vantor's times include reading the text file; numpy's and R's do not."
echo "Phases of one run on one thread (processor time):"
printf '  %s\n' "${phases[@]}"
