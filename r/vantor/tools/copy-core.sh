#!/bin/sh
# Copies the library's sources from FROM into TO: every header and every
# .cpp but the program's main (vantor.cpp). Files that did not change keep
# their times, so a second install recompiles only what changed; a source
# gone from FROM leaves TO too.
set -e
from=$1
to=$2
mkdir -p "$to"
(cd "$from" && find . -name '*.h' -o -name '*.cpp' ! -path './vantor.cpp') | while read -r f; do
  mkdir -p "$to/$(dirname "$f")"
  if ! cmp -s "$from/$f" "$to/$f"; then cp "$from/$f" "$to/$f"; fi
done
(cd "$to" && find . -name '*.h' -o -name '*.cpp') | while read -r f; do
  [ -f "$from/$f" ] || rm -f "$to/$f" "$to/${f%.cpp}.o"
done
