#!/usr/bin/env bash
# Benchmark of vantor: builds the tool and the helpers of bench/ in their own
# build directory, generates the data once into bench/data/ (git-ignored) and
# times each section's commands, reporting the best of several runs and the
# peak memory. Add a section as a function and list it in SECTIONS.
#
# Usage: bench/run.sh [SECTION...]     (default: every section)
# Environment: RUNS (default 3) repetitions per command.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
data=$root/bench/data
runs=${RUNS:-3}
SECTIONS=(input input_wide csv separators report memory_bound passes)

build() {
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build" -j2 >/dev/null
}

# gen NAME COMMAND...: bench/data/NAME made once by COMMAND (to stdout).
gen() {
  local name=$1
  shift
  mkdir -p "$data"
  if [ ! -s "$data/$name" ]; then
    echo "generating $name" >&2
    "$@" >"$data/$name.tmp"
    mv "$data/$name.tmp" "$data/$name"
  fi
  echo "$data/$name"
}

# measure COMMAND...: runs it $runs times; sets best_s (fastest wall time in
# seconds), best_cpu_s (least user + system time) and peak_kb (largest
# resident set in KiB). Output goes to $last_out.
last_out=$(mktemp)
trap 'rm -f "$last_out" "$last_out.t"' EXIT
measure() {
  best_s=
  best_cpu_s=
  peak_kb=0
  local i s cpu kb
  for ((i = 0; i < runs; i++)); do
    if [ -x /usr/bin/time ]; then
      /usr/bin/time -f 'elapsed=%e cpu=%U+%S maxrss_kb=%M' -o "$last_out.t" "$@" >"$last_out" 2>/dev/null || true
    else
      "$build/runstat" "$@" >"$last_out" 2>"$last_out.t" || true
    fi
    s=$(sed -n 's/.*elapsed=\([0-9.]*\).*/\1/p' "$last_out.t" | tail -n 1)
    cpu=$(sed -n 's/.*cpu=\([0-9.+]*\).*/\1/p' "$last_out.t" | tail -n 1)
    cpu=$(awk "BEGIN { print $cpu }")
    kb=$(sed -n 's/.*maxrss_kb=\([0-9]*\).*/\1/p' "$last_out.t" | tail -n 1)
    if [ -z "$best_s" ] || awk -v a="$s" -v b="$best_s" 'BEGIN { exit !(a < b) }'; then best_s=$s; fi
    if [ -z "$best_cpu_s" ] || awk -v a="$cpu" -v b="$best_cpu_s" 'BEGIN { exit !(a < b) }'; then
      best_cpu_s=$cpu
    fi
    if [ "$kb" -gt "$peak_kb" ]; then peak_kb=$kb; fi
  done
}

report() {  # report LABEL
  printf '  %-44s %7.2f s (CPU %5.2f s) %9.1f MiB\n' "$1" "$best_s" "$best_cpu_s" \
    "$(awk -v k="$peak_kb" 'BEGIN { print k / 1024 }')"
}

# Examination and loading of the 1,000,000 x 20 table, as white space and
# as CSV, against a tight from_chars loop over the same bytes held in one
# buffer (one core): the CPU time of examination plus loading (goal: at most
# 1.4 times the loop's), and the whole default run on two threads (wall;
# goal: at most 1.5 times the loop's). Both print the sum of all values,
# which must agree.
section_input() {
  local txt csv file mode rows=1000000 cols=20 base_s base_cpu base_out tool_out
  txt=$(gen table_1000000x20.txt "$build/gendata" $rows $cols 1)
  csv=$(gen_csv "$txt" $cols)
  for mode in "" --csv; do
    file=$txt
    [ -z "$mode" ] || file=$csv
    echo "input${mode:+ $mode}: $file ($(du -m "$file" | cut -f1) MB)"
    cat "$file" >/dev/null  # same page-cache state for every command
    measure "$build/parse_baseline" $mode "$file"
    base_s=$best_s
    base_cpu=$best_cpu_s
    base_out=$(cat "$last_out")
    report "from_chars loop over the buffer"
    measure "$build/input_phase" $mode "$file"
    tool_out=$(cat "$last_out")
    report "examination + loading (input_phase)"
    awk -v t="$best_cpu_s" -v b="$base_cpu" -v kb="$peak_kb" -v r=$rows -v c=$cols 'BEGIN {
      m = r * c * 8 / 1048576
      printf "  CPU ratio %.2f (goal <= 1.4); peak %.1f MiB, data matrix %.1f MiB\n", t / b, kb / 1024, m }'
    [ "${base_out##*sum }" = "${tool_out##*sum }" ] || echo "  MISMATCH: baseline '$base_out', tool '$tool_out'"
    measure "$build/vantor" $mode --threads=2 --quiet --no-log -m- -t- "$file"
    report "whole run, two threads"
    awk -v t="$best_s" -v b="$base_s" 'BEGIN { printf "  wall ratio %.2f (goal <= 1.5)\n", t / b }'
  done
}

# gen_csv TXT COLS: the white-space table as CSV with a names line.
gen_csv() {
  gen "$(basename "${1%.txt}").csv" awk -v cols="$2" 'BEGIN { OFS = "," }
    NR == 1 { h = "v1"; for (i = 2; i <= cols; i++) h = h ",v" i; print h }
    { $1 = $1; print }' "$1"
}

# Wide lines whose tokens all go to the platform routine: 100 rows of 4000
# columns of hexadecimal and special values. Loading must stay linear in the
# line width.
section_input_wide() {
  local file
  file=$(gen wide_100x4000.txt awk 'BEGIN {
    split("0x1p3 inf -0X1.8p1 nan INFINITY 0x10", t, " ");
    for (r = 0; r < 100; r++) { for (c = 0; c < 4000; c++) printf "%s ", t[1 + (r + c) % 6]; print "" } }')
  echo "input_wide: $file ($(du -k "$file" | cut -f1) KB)"
  measure "$build/input_phase" "$file"
  report "examination + loading (input_phase)"
}

# The tall table as CSV with a header line, and the white-space file through
# standard input: whole runs against the white-space file read by name.
section_csv() {
  local txt csv rows=1000000 cols=20 base_s
  txt=$(gen table_1000000x20.txt "$build/gendata" $rows $cols 1)
  csv=$(gen_csv "$txt" $cols)
  echo "csv: $csv ($(du -m "$csv" | cut -f1) MB)"
  cat "$txt" "$csv" >/dev/null
  measure "$build/vantor" --quiet --no-log -m- -t- "$txt"
  base_s=$best_s
  report "white space by name"
  measure "$build/vantor" --csv --quiet --no-log -m- -t- "$csv"
  report "CSV with names (--csv)"
  awk -v t="$best_s" -v b="$base_s" 'BEGIN { printf "  CSV ratio %.2f (goal <= 1.10)\n", t / b }'
  measure bash -c "cat \"$txt\" | \"$build/vantor\" --quiet --no-log -m- -t- -"
  report "white space through standard input"
  awk -v t="$best_s" -v b="$base_s" -v kb="$peak_kb" -v r=$rows -v c=$cols 'BEGIN {
    m = r * c * 8 / 1048576
    printf "  stdin ratio %.2f (goal <= 1.15); peak %.1f MiB, bound %.1f MiB\n", t / b, kb / 1024, 1.2 * m + 16 }'
}

# Separator files against white space, on one thread and two: the tall
# table as TSV with names, and as semicolon text with decimal commas.
section_separators() {
  local txt tsv csv2 rows=1000000 cols=20 base_s
  txt=$(gen table_1000000x20.txt "$build/gendata" $rows $cols 1)
  tsv=$(gen table_1000000x20.tsv awk 'BEGIN { OFS = "\t" }
    NR == 1 { h = "v1"; for (i = 2; i <= 20; i++) h = h "\tv" i; print h }
    { $1 = $1; print }' "$txt")
  csv2=$(gen table_1000000x20_csv2.csv awk 'BEGIN { OFS = ";" }
    NR == 1 { h = "v1"; for (i = 2; i <= 20; i++) h = h ";v" i; print h }
    { $1 = $1; gsub(/\./, ","); print }' "$txt")
  cat "$txt" "$tsv" "$csv2" >/dev/null
  for threads in 1 2; do
    measure "$build/vantor" --threads=$threads --quiet --no-log -m- -t- "$txt"
    base_s=$best_s
    report "white space, $threads thread(s)"
    measure "$build/vantor" --threads=$threads --separator=tab --quiet --no-log -m- -t- "$tsv"
    report "TSV with names, $threads thread(s)"
    awk -v t="$best_s" -v b="$base_s" 'BEGIN { printf "  TSV ratio %.2f\n", t / b }'
    measure "$build/vantor" --threads=$threads --separator=";" --comma-decimals --quiet --no-log \
      -m- -t- "$csv2"
    report "semicolons and decimal commas, $threads thread(s)"
    awk -v t="$best_s" -v b="$base_s" 'BEGIN { printf "  ratio %.2f\n", t / b }'
  done
}

# The memory bound at size: the default run's peak against 1.1 times the
# data matrix and 32 MiB, on 28,000,000 x 20 and on 50,000,000 x 5 (below
# ten columns a NaN column's two copies may pass it; these have none, but a
# column of the narrow one holds both zeros). The tables take some 5.6 and
# 2.5 GB of text in bench/data/. One run each.
section_memory_bound() {
  local shape rows cols file runs=1
  for shape in 28000000x20 50000000x5; do
    rows=${shape%x*}
    cols=${shape#*x}
    file=$(gen "table_$shape.txt" "$build/gendata" "$rows" "$cols" 1)
    measure "$build/vantor" --quiet --no-log -m- -t- "$file"
    report "$shape default run"
    awk -v kb="$peak_kb" -v r="$rows" -v c="$cols" 'BEGIN {
      m = r * c * 8 / 1048576
      printf "  peak %.0f MiB, bound %.0f MiB (%s)\n", kb / 1024, 1.1 * m + 32,
        kb / 1024 <= 1.1 * m + 32 ? "within" : "PAST" }'
  done
}

# Tables analysed in passes (--max-memory): the tall table within 16 MiB
# against the run in memory (goals: at most 1.8 times the wall time on two
# threads, peak at most 20 MiB); the first 1, 4 and 16 million rows of the
# 28,000,000 x 20 table within 16 MiB (time linear in rows, memory flat);
# and the whole of that table within 512 MiB under a 1 GiB address-space
# limit against the run in memory, whose result files must be the same.
section_passes() {
  local tall big rows dir runs=${RUNS:-3} args=(--quiet --no-log -c -v -h --quartiles)
  tall=$(gen table_1000000x20.txt "$build/gendata" 1000000 20 1)
  dir=$(mktemp -d)
  ln -s "$tall" "$dir/tall.txt"
  measure "$build/vantor" "${args[@]}" "$dir/tall.txt"
  report "tall table in memory"
  local mem_s=$best_s
  measure "$build/vantor" "${args[@]}" --max-memory=16M "$dir/tall.txt"
  report "tall table, --max-memory=16M"
  awk -v a="$best_s" -v b="$mem_s" -v kb="$peak_kb" 'BEGIN {
    printf "  ratio %.2f (goal 1.8), peak %.1f MiB (goal 20)\n", a / b, kb / 1024 }'
  big=$(gen table_28000000x20.txt "$build/gendata" 28000000 20 1)
  runs=1
  for rows in 1000000 4000000 16000000; do
    head -n "$rows" "$big" >"$dir/rows$rows.txt"
    measure "$build/vantor" "${args[@]}" --max-memory=16M "$dir/rows$rows.txt"
    report "first $rows rows, --max-memory=16M"
    rm -f "$dir/rows$rows".*
  done
  mkdir "$dir/mem" "$dir/passes"
  ln -s "$big" "$dir/mem/big.txt"
  ln -s "$big" "$dir/passes/big.txt"
  measure "$build/vantor" "${args[@]}" "$dir/mem/big.txt"
  report "28000000 x 20 in memory"
  measure prlimit --as=1073741824 "$build/vantor" "${args[@]}" --max-memory=512M \
    "$dir/passes/big.txt"
  report "28000000 x 20, --max-memory=512M, 1 GiB limit"
  local f same=yes
  for f in cor cov his inp mvd; do
    cmp -s "$dir/mem/big.$f" "$dir/passes/big.$f" || same=no
  done
  echo "  result files the same: $same"
  rm -rf "$dir"
}

# What --report costs: the whole default run of the tall table with and
# without it (goal: at most 10% more), and the report steps alone there and
# on a square table with the eigen analysis (goal: at most 0.5 s).
section_report() {
  local tall square
  tall=$(gen table_1000000x20.txt "$build/gendata" 1000000 20 1)
  square=$(gen table_2000x1000.txt "$build/gendata" 2000 1000 1)
  echo "report: $tall, $square"
  measure "$build/vantor" --quiet --no-log "$tall"
  report "whole run: vantor --quiet"
  measure "$build/vantor" --quiet --no-log --report "$tall"
  report "whole run: vantor --quiet --report"
  echo "  tall:   $("$build/report_phase" "$tall")"
  echo "  square: $("$build/report_phase" -e "$square")"
}

build
list=("$@")
[ ${#list[@]} -gt 0 ] || list=("${SECTIONS[@]}")
for s in "${list[@]}"; do "section_$s"; done
