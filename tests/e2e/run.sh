#!/usr/bin/env bash
# End-to-end runner: every directory under CASES is one run of the built tool
# in a fresh temporary directory, compared byte for byte with what it expects.
#
# A case directory holds:
#   args     the arguments, one per line (may be empty; blanks are kept)
#   files/   input files copied into the working directory (optional)
#   setup    bash commands run in the working directory first (optional)
#   stdin    what the run reads on standard input (optional; else /dev/null)
#   absent   names of files the run must not leave, one per line (optional)
#   limit    a virtual-memory limit in KiB for the run (optional; such cases
#            are skipped when E2E_NO_MEMORY_LIMIT is set, as in sanitizer
#            builds, which reserve more address space than any such limit)
#   expect/  status, stdout, stderr and every file the run must leave besides
#            the inputs. In stdout and stderr "@USAGE@" stands for the whole
#            usage text (usage.txt beside this script) and the line "@BANNER@" for
#            the banner line and "@VERSION@" for the version tag elsewhere
#            (as in a JSON document or the line of --version); in
#            expect/logfile "@TIME@" stands for the timestamp. logfile is
#            compared only when expect/logfile exists. In an .html report
#            "@TAG@" stands for the version tag; its date is fixed by
#            SOURCE_DATE_EPOCH.
#
# Usage: run.sh VANTOR CASES [NAME...]      run all cases, or the named ones
#        UPDATE=1 run.sh VANTOR CASES NAME  write what the run gave into expect/
#        PASSES=SIZE run.sh VANTOR CASES    every case with --max-memory=SIZE
#            first: the same bytes but for the memory lines and the line that
#            says so; cases refused in that mode, and memory-limit cases, are
#            skipped
set -u
vantor=$(readlink -f "$1")
cases=$(readlink -f "$2")
shift 2
export LC_ALL=C TZ=UTC SOURCE_DATE_EPOCH=1767225600
unset POSIXLY_CORRECT

bindir=$(mktemp -d)
trap 'rm -rf "$bindir"' EXIT
ln -s "$vantor" "$bindir/vantor"
export PATH="$bindir:$PATH"
banner=$(vantor --more -? | head -n 1)
tag=$(awk '{print $3}' <<<"$banner")
version=$tag

# Replace the banner line, the version tag and timestamps so that
# expectations stay fixed. The usage text is pinned once, in usage.txt
# beside this script: where a run prints it whole, "@USAGE@" stands for it.
usage_text=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/usage.txt
normalise() {
  BANNER="$banner" VERSION="$version" \
    perl -pe 's/^\Q$ENV{BANNER}\E$/\@BANNER\@/ or (length $ENV{VERSION} and s/\Q$ENV{VERSION}\E/\@VERSION\@/g)' "$1" |
    USAGE_FILE="$usage_text" perl -0777 -pe '
      BEGIN { local $/; open my $u, "<", $ENV{USAGE_FILE} or die; $usage = <$u> }
      s/\Q$usage\E/\@USAGE\@\n/g'
}
# A report names the program's version tag, which changes with every commit.
normalise_file() {
  case $1 in
    *.html) TAG="$tag" perl -pe 's/\Q$ENV{TAG}\E/\@TAG\@/g; s/--max-memory=\S+ //g' "$1" ;;
    *) cat "$1" ;;
  esac
}
normalise_log() {
  perl -pe 's{^\d\d/\d\d/\d\d \d\d:\d\d:\d\d}{\@TIME\@}' "$1"
}

# Under PASSES: what may differ from the run in memory goes from both sides.
passes_filter() {
  if [ -n "${PASSES:-}" ]; then
    grep -v -e '^Memory need: ' -e '^Allocates ' -e '^Analyses the file in passes: ' "$1"
  else
    cat "$1"
  fi
}

run_case() {
  local dir=$1 name work out status
  name=$(basename "$dir")
  if [ -n "${PASSES:-}" ] && [ -f "$dir/limit" ]; then
    echo "--- $name: skipped (a memory limit)"
    return 0
  fi
  work=$(mktemp -d)
  out=$(mktemp -d)
  [ -d "$dir/files" ] && cp -a "$dir/files/." "$work/"
  local -a args=()
  if [ -f "$dir/args" ]; then
    mapfile -t args <"$dir/args"
  fi
  [ -n "${PASSES:-}" ] && args=("--max-memory=$PASSES" "${args[@]}")
  if [ -f "$dir/setup" ]; then
    (cd "$work" && source "$dir/setup") >/dev/null 2>&1 || echo "--- $name: setup failed"
  fi
  # Everything present now is input; the run must leave it unchanged.
  (cd "$work" && find . -type f -exec md5sum {} + | LC_ALL=C sort -k 2) >"$out/inputs"
  (
    cd "$work" || exit 99
    if [ -f "$dir/limit" ]; then
      [ -n "${E2E_NO_MEMORY_LIMIT:-}" ] && exit 97
      ulimit -v "$(cat "$dir/limit")"
    fi
    input=/dev/null
    [ -f "$dir/stdin" ] && input=$dir/stdin
    exec vantor "${args[@]}" >"$out/stdout" 2>"$out/stderr" <"$input"
  )
  status=$?
  if [ $status = 97 ]; then
    echo "--- $name: skipped (memory limits do not apply to this build)"
    rm -rf "$work" "$out"
    return 0
  fi
  if [ -n "${PASSES:-}" ] && grep -q -e 'needs the whole table in memory' -e 'holds NaN: its median' "$out/stderr"; then
    echo "--- $name: skipped (refused in passes)"
    rm -rf "$work" "$out"
    return 0
  fi
  echo "$status" >"$out/status"
  normalise "$out/stdout" >"$out/stdout.n"
  normalise "$out/stderr" >"$out/stderr.n"
  mv "$out/stdout.n" "$out/stdout"
  mv "$out/stderr.n" "$out/stderr"

  # Files the run left in the working directory, inputs excluded.
  local -a produced=()
  local f
  while IFS= read -r f; do
    f=${f#./}
    grep -qxF "$(cd "$work" && md5sum "./$f")" "$out/inputs" && continue
    [ "$f" = logfile ] && [ ! -e "$dir/expect/logfile" ] && [ -z "${UPDATE:-}" ] && continue
    produced+=("$f")
  done < <(cd "$work" && find . -type f | LC_ALL=C sort)

  if [ -n "${UPDATE:-}" ]; then
    rm -rf "$dir/expect"
    mkdir -p "$dir/expect"
    cp "$out/status" "$out/stdout" "$out/stderr" "$dir/expect/"
    for f in "${produced[@]}"; do
      [ "$f" = logfile ] && continue
      mkdir -p "$dir/expect/$(dirname "$f")"
      normalise_file "$work/$f" >"$dir/expect/$f"
    done
    echo "updated $name"
    rm -rf "$work" "$out"
    return 0
  fi

  local ok=1 e
  for e in status stdout stderr; do
    if ! cmp -s <(passes_filter "$dir/expect/$e") <(passes_filter "$out/$e"); then
      ok=0
      echo "--- $name: $e differs"
      diff <(cat -A "$dir/expect/$e") <(cat -A "$out/$e") | head -n 20
    fi
  done
  for f in "${produced[@]}"; do
    if [ "$f" = logfile ]; then
      [ -n "${PASSES:-}" ] && continue
      if ! cmp -s "$dir/expect/logfile" <(normalise_log "$work/logfile"); then
        ok=0
        echo "--- $name: logfile differs"
        diff <(cat -A "$dir/expect/logfile") <(normalise_log "$work/logfile" | cat -A) | head -n 20
      fi
    elif [ ! -f "$dir/expect/$f" ]; then
      ok=0
      echo "--- $name: unexpected output file $f"
    elif ! cmp -s "$dir/expect/$f" <(normalise_file "$work/$f"); then
      ok=0
      echo "--- $name: $f differs"
      diff <(cat -A "$dir/expect/$f") <(normalise_file "$work/$f" | cat -A) | head -n 20
    fi
  done
  if [ -f "$dir/absent" ]; then
    while IFS= read -r f; do
      [ -n "$f" ] && [ -e "$work/$f" ] && { ok=0; echo "--- $name: $f must not be left"; }
    done <"$dir/absent"
  fi
  while IFS= read -r f; do
    f=${f#./}
    case $f in status | stdout | stderr) continue ;; esac
    if [ ! -e "$work/$f" ]; then
      ok=0
      echo "--- $name: missing output file $f"
    fi
  done < <(cd "$dir/expect" && find . -type f)
  chmod -R u+rwx "$work" 2>/dev/null
  rm -rf "$work" "$out"
  [ $ok = 1 ]
}

failed=0
total=0
if [ $# -gt 0 ]; then
  list=()
  for n in "$@"; do list+=("$cases/$n"); done
else
  list=("$cases"/*/)
fi
for dir in "${list[@]}"; do
  dir=${dir%/}
  [ -d "$dir" ] || continue
  total=$((total + 1))
  run_case "$dir" || failed=$((failed + 1))
done
echo "end-to-end: $((total - failed)) of $total cases passed"
[ $failed = 0 ]
