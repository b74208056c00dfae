#!/usr/bin/env bash
# Builds the R package's source tarball from the checkout and checks it with
# R CMD check --no-manual in a temporary directory, the testthat tests
# comparing it with build/vantor when that program is there. Installs
# nothing. Fails on an ERROR or a WARNING; prints the NOTEs.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The tarball carries the library's sources (tools/core, a link to src/,
# copied as files) and the commit its version tag names.
git rev-parse --short=7 HEAD > r/vantor/tools/REVISION 2>/dev/null || rm -f r/vantor/tools/REVISION
if [ -x build/vantor ]; then
  export VANTOR_PROGRAM="$root/build/vantor"
else
  echo "No build/vantor: the tests comparing with the program are skipped"
fi
cd "$work"
R CMD build --no-build-vignettes "$root/r/vantor" > build.log 2>&1 || { cat build.log; exit 1; }
tarball=$(ls vantor_*.tar.gz)
status=0
_R_CHECK_FORCE_SUGGESTS_=false R CMD check --no-manual "$tarball" > check.log 2>&1 || status=$?
if [ "$status" -ne 0 ] || grep -q -E "^\* .*\.\.\. *(ERROR|WARNING)$|^(ERROR|WARNING)" check.log; then
  cat check.log
  for f in vantor.Rcheck/00install.out vantor.Rcheck/tests/testthat.Rout.fail; do
    [ -f "$f" ] && { echo "==> $f"; tail -60 "$f"; }
  done
  echo "R CMD check failed" >&2
  exit 1
fi
# Each NOTE with its lines, the tests' tally and the verdict.
awk '/^\* / { show = / NOTE$/ } show' check.log
grep -h "^\[ FAIL" vantor.Rcheck/tests/testthat.Rout || true
grep -E "^Status" check.log
