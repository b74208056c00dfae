#!/usr/bin/env bash
# Results on a full disk and under concurrent runs. A file-size limit (with
# SIGXFSZ ignored, the write fails with EFBIG) stands for the full disk: the
# run reports "Can't write file" as always, the previous file stays as it
# was and no temporary is left. Then 40 runs on one data file into one
# directory at once: every result, read at any time, is absent or one run's
# complete file, and the log holds 40 whole records.
#
#   atomic_results.sh VANTOR SOURCE_DIR
set -u
vantor=$(readlink -f "$1")
source_dir=$(readlink -f "$2")
export LC_ALL=C TZ=UTC SOURCE_DATE_EPOCH=1767225600
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() {
  echo "FAIL: $*" >&2
  wait
  exit 1
}
args=(--quiet -c -v -h -e --json --report fish.txt)
mkdir ref full many
for d in ref full many; do cp "$source_dir/examples/fish.txt" $d/; done
(cd ref && "$vantor" "${args[@]}" >stdout 2>/dev/null) || fail "uninterrupted run"
results=$(cd ref && ls fish.* | grep -v fish.txt)
[ "$(echo $results | wc -w)" = 9 ] || fail "results: $results"

# The report is some 60 KB; a limit of 16 KiB cuts it.
cd full || exit 1
echo "previous report" >fish.html
(trap '' XFSZ && ulimit -f 16 && exec "$vantor" "${args[@]}" >stdout 2>stderr)
status=$?
[ $status = 1 ] || fail "full disk: exit status $status"
[ "$(tail -n 1 stderr)" = $'Error: Can\'t write file: fish.html\a' ] || fail "full disk: $(tail -n 1 stderr)"
[ "$(cat fish.html)" = "previous report" ] || fail "full disk: the previous report was changed"
cmp -s stdout ../ref/stdout || fail "full disk: standard output differs"
[ -z "$(ls -A | grep vantor-tmp)" ] || fail "full disk: temporary left: $(ls -A)"
cd ..

# A table whose scores file is some 2 MB, long enough to be read while
# another run writes it.
cd many || exit 1
awk 'BEGIN { srand(3); for (r = 0; r < 20000; r++) { b = rand(); line = "";
  for (c = 0; c < 8; c++) line = line sprintf("%.4f ", b * c + rand()); print line } }' >fish.txt
cp fish.txt ../ref/
args=(--quiet -a "${args[@]:1}")
(cd ../ref && rm -f logfile && "$vantor" "${args[@]}" >/dev/null 2>&1) || fail "uninterrupted run"
for i in $(seq 40); do "$vantor" "${args[@]}" >/dev/null 2>&1 & done
# Meanwhile a reader finds each result absent or whole, never cut short.
while [ -n "$(jobs -r)" ]; do
  for f in $results; do
    [ ! -e "$f" ] || cmp -s "$f" "../ref/$f" || fail "40 runs: $f read while cut short"
  done
done
wait
for f in $results; do cmp -s "$f" "../ref/$f" || fail "40 runs: $f is not one run's file"; done
[ -z "$(ls -A | grep vantor-tmp)" ] || fail "40 runs: temporary left"
record=" $vantor ${args[*]}"
whole=$(grep -cxF -- "$record" <(cut -c 18- logfile))
[ "$whole" = 40 ] && [ "$(wc -l <logfile)" = 40 ] || fail "40 runs: $whole whole log records"
echo "PASS: full disk kept the previous file; 40 concurrent runs left whole results and records"
