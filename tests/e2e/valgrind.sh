#!/usr/bin/env bash
# Runs every end-to-end case with the program under valgrind's memcheck: any
# invalid access, use of uninitialised memory or leak shows up as extra
# output on the error stream (and status 99), so the case fails.
# Usage: tests/e2e/valgrind.sh BUILT_VANTOR [case...]    (not part of CI: slow)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
binary=$(readlink -f "$1")
shift
wrapdir=$(mktemp -d)
trap 'rm -rf "$wrapdir"' EXIT
# The program is started by its bare name from a directory of its own so
# that it sees the same argument 0 as in the plain runs.
mkdir "$wrapdir/real"
ln -s "$binary" "$wrapdir/real/vantor"
cat >"$wrapdir/vantor" <<WRAP
#!/bin/sh
PATH="$wrapdir/real:\$PATH" exec valgrind -q --error-exitcode=99 --leak-check=full \
  --errors-for-leak-kinds=definite vantor "\$@"
WRAP
chmod +x "$wrapdir/vantor"
# Memory limits would apply to valgrind itself.
E2E_NO_MEMORY_LIMIT=1 bash "$here/run.sh" "$wrapdir/vantor" "$here/cases" "$@"
