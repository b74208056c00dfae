#!/usr/bin/env bash
# Runs the Python package's tests with Debian's pytest against the module
# built in BUILD_PYTHON_DIR and the program VANTOR. Exits 77 (skipped) in a
# sanitizer build or where the module or pytest is missing.
# Usage: run.sh PYTHON BUILD_PYTHON_DIR VANTOR SKIP(0|1)
set -u
python=$1 pydir=$2 vantor=$3 skip=$4
if [ "$skip" = 1 ]; then
  echo "Python tests skipped: sanitizer build or no pybind11 (the C++ tests cover the library)"
  exit 77
fi
if ! "$python" -c 'import pytest, numpy, pandas' 2>/dev/null; then
  echo "Python tests skipped: $python lacks pytest, numpy or pandas (run scripts/setup.sh as root)"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
# The test directory too: Dask workers import the test modules by name.
export PYTHONPATH="$pydir:$here${PYTHONPATH:+:$PYTHONPATH}" VANTOR_BINARY="$vantor"
export VANTOR_SOURCE_DIR="$(cd "$here/../.." && pwd)"
export SOURCE_DATE_EPOCH=1767225600 LC_ALL=C TZ=UTC
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$python" -m pytest -q -p no:cacheprovider "$here"
