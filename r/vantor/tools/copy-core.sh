#!/bin/sh
# Copies the library's sources from FROM (the checkout's src/) into TO:
# every header and every .cpp but the program's main (vantor.cpp), and the
# version and revision the program's build would show. Files that did not
# change keep their times, so a second install recompiles nothing.
set -e
from=$1
to=$2
mkdir -p "$to"
(cd "$from" && find . -name '*.h' -o -name '*.cpp' ! -path './vantor.cpp') | while read -r f; do
  mkdir -p "$to/$(dirname "$f")"
  if ! cmp -s "$from/$f" "$to/$f"; then cp "$from/$f" "$to/$f"; fi
done
# Sources removed from the checkout leave the copy too.
(cd "$to" && find . -name '*.h' -o -name '*.cpp') | while read -r f; do
  [ -f "$from/$f" ] || rm -f "$to/$f"
done
sed -n 's/^project(vantor VERSION \([0-9.]*\).*/\1/p' "$from/../CMakeLists.txt" > "$to/VERSION.new"
revision=$(git -C "$from/.." rev-parse --short=7 HEAD 2>/dev/null || echo 0000000)
echo "$revision" > "$to/REVISION.new"
for f in VERSION REVISION; do
  if cmp -s "$to/$f.new" "$to/$f"; then rm "$to/$f.new"; else mv "$to/$f.new" "$to/$f"; fi
done
