#!/usr/bin/env bash
# The end-to-end cases on one forced vector path: run.sh with VANTOR_ISA set.
# A path this processor lacks is refused by the program itself; that is a
# skip (status 77), never a run of some other path under the path's name.
#
# Usage: isa.sh ISA VANTOR CASES [NAME...]
set -u
isa=$1
shift
probe=$(VANTOR_ISA=$isa "$1" --more -? 2>&1 >/dev/null)
status=$?
if [ $status != 0 ]; then
  if [[ $probe == *"VANTOR_ISA=$isa"* ]]; then
    echo "skipped: ${probe#*Error: }"
    exit 77
  fi
  echo "the probe run failed: $probe"
  exit 1
fi
VANTOR_ISA=$isa exec bash "$(dirname "$0")/run.sh" "$@"
