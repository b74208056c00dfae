#!/usr/bin/env bash
# Results under kill: runs vantor with ten result files on a table that
# takes under a second, kills it with SIGKILL after a seeded random delay
# (up to 50 trials), and checks every result name: absent or the old file as it
# was before the trial, or complete (the bytes of an uninterrupted run).
# A SIGKILLed run cannot clean up: its temporary (.<name>.vantor-tmp.<pid>.<n>)
# may stay and is accepted, but only with the killed run's pid. Then SIGINT
# and SIGTERM, sent while a temporary exists: the run dies by the signal
# and leaves no temporary.
#
#   crash_kill.sh VANTOR [SEED]
set -u
vantor=$(readlink -f "$1")
RANDOM=${2:-2028}
export LC_ALL=C TZ=UTC SOURCE_DATE_EPOCH=1767225600
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir ref run
exts=(.mvd .cor .cov .inp .his .eig .fsc .sco .json .html)
args=(--no-log --quiet -a -c -v -h -f -e --json --report data.txt)
fail() { echo "FAIL: $*" >&2; exit 1; }
now() { date +%s.%N; }
calc() { awk "BEGIN { print ($*) }"; }

awk -v rows=150000 'BEGIN { srand(5); for (r = 0; r < rows; r++) { b = rand(); line = "";
  for (c = 0; c < 8; c++) line = line sprintf("%.4f ", b * c + rand()); print line } }' >data.txt
reference() {
  rm -f ref/*
  cp data.txt ref/
  local t0=$(now)
  (cd ref && "$vantor" "${args[@]}" >/dev/null) || fail "uninterrupted run"
  span=$(calc "$(now) - $t0")
}
reference
# A slow build (sanitizers) or a busy machine gets a shorter table, so that
# the trials stay within about a minute; the span is measured again each time.
rows=150000
for shorten in 1 2 3; do
  [ "$(calc "$span > 1.0")" = 1 ] || break
  rows=$(calc "int($rows * 0.8 / $span)")
  [ "$rows" -ge 2000 ] || rows=2000
  head -n "$rows" data.txt >short && mv short data.txt
  reference
done
cp data.txt run/

# The state before a trial: each result absent or an old file, by chance.
prepare() {
  local ext
  rm -f run/.data.* run/data.[!t]*
  for ext in "${exts[@]}"; do
    [ $((RANDOM % 2)) = 0 ] && echo "old $ext" >"run/data$ext"
  done
}
# check PID: every result absent, old or complete; no other file but the
# killed run's temporaries (with PID empty: none at all).
check() {
  local ext f
  for ext in "${exts[@]}"; do
    f=run/data$ext
    [ -e "$f" ] || continue
    printf 'old %s\n' "$ext" | cmp -s - "$f" && continue
    cmp -s "$f" "ref/data$ext" || fail "trial $trial: data$ext is neither old nor complete"
    new=$((new + 1))
  done
  for f in run/.[!.]* run/*; do
    [ -e "$f" ] || continue
    case ${f#run/} in
      data.txt | data.mvd | data.cor | data.cov | data.inp | data.his | data.eig | data.fsc | data.sco | \
        data.json | data.html) ;;
      .data.*.vantor-tmp."$1".*) [ -n "$1" ] && left=$((left + 1)) || fail "trial $trial: $f left" ;;
      *) fail "trial $trial: stray file $f" ;;
    esac
  done
}

# Up to 50 trials, but no more than two minutes of them once ten are done:
# on a loaded machine a run can take many times its quiet span.
t0=$(now)
killed=0 new=0 left=0 trials=0
for trial in $(seq 1 50); do
  [ $trial -gt 10 ] && [ "$(calc "$(now) - $t0 > 120")" = 1 ] && break
  trials=$trial
  prepare
  delay=$(calc "$span * 1.1 * $RANDOM / 32767")
  (cd run && exec "$vantor" "${args[@]}" >/dev/null 2>&1) &
  pid=$!
  sleep "$delay"
  kill -KILL $pid 2>/dev/null && killed=$((killed + 1))
  wait $pid 2>/dev/null
  check $pid
done
echo "SIGKILL: uninterrupted run $span s ($rows rows); $trials trials in $(calc "int($(now) - $t0)") s, $killed killed while" \
  "running; $new result files complete, $left temporaries left by killed runs"

# SIGINT and SIGTERM, each sent while the run holds a temporary: it is
# stopped at short intervals until one is seen.
for sig in INT TERM INT TERM; do
  trial=$sig
  for attempt in 1 2 3; do
    prepare
    (cd run && exec env --default-signal=INT,TERM "$vantor" "${args[@]}" >/dev/null 2>&1) &
    pid=$!
    seen=0 polls=0
    while [ $polls -lt 3000 ] && kill -STOP $pid 2>/dev/null; do
      polls=$((polls + 1))
      if compgen -G "run/.data.*.vantor-tmp.$pid.*" >/dev/null; then
        seen=1
        kill -$sig $pid
        kill -CONT $pid
        break
      fi
      kill -CONT $pid
      sleep 0.02
    done
    wait $pid
    status=$?
    [ $seen = 1 ] && break
  done
  [ $seen = 1 ] || fail "SIG$sig: no temporary seen in three runs"
  [ $status = $((128 + $(kill -l $sig))) ] || fail "SIG$sig: exit status $status"
  check ""
done
echo "PASS: SIGINT and SIGTERM removed the temporaries and ended the run by the signal"
