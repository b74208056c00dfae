#!/usr/bin/env bash
# The JSON document against its published schema: real runs of the built
# program (with and without -e, a hostile data-file name, --json=- through jq,
# --json=- over two files as JSON Lines) checked by an independent validator.
# Exit 77 (skipped) without the tools.
# Usage: json_schema_test.sh VANTOR SOURCE-DIR
set -u
vantor=$(readlink -f "$1")
src=$(readlink -f "$2")
if ! /usr/bin/python3 -c 'import jsonschema' 2>/dev/null; then
  echo "skipped: python3-jsonschema is not installed (apt-get install python3-jsonschema)"
  exit 77
fi
if ! command -v jq >/dev/null 2>&1; then
  echo "skipped: jq is not installed (apt-get install jq)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$src/examples/measurements.txt" plain.txt
cp "$src/examples/measurements.txt" eigen.txt
cp "$src/examples/measurements.txt" tests.txt
cp "$src/examples/measurements.txt" ranks.txt
# A quote, a backslash, a control byte and a byte that is not UTF-8.
odd=$'odd "q" \\ \x01 \xff.txt'
printf '1 5\n2 5\n3 5\n' >"$odd"

fail=0
check() {  # NAME EXPECTATION: a jq test the document must pass
  jq -e "$2" "$1" >/dev/null || { echo "FAIL: $1 does not satisfy $2"; fail=1; }
}
"$vantor" --quiet --no-log --json plain.txt || fail=1
"$vantor" --quiet --no-log --json -e -f -h5 eigen.txt || fail=1
"$vantor" --quiet --no-log --json --conventional -e --rotate=varimax "$odd" >/dev/null || fail=1
"$vantor" --quiet --no-log --json --conventional --ci=0.9 tests.txt || fail=1
"$vantor" --quiet --no-log --json --conventional --rank=kendall -e --rotate=promax ranks.txt || fail=1
"$vantor" --no-log --json=- -e eigen.txt >stdout.json 2>/dev/null || fail=1
"$vantor" --no-log --json=- plain.txt eigen.txt >lines.jsonl 2>/dev/null || fail=1
cp "${odd%.txt}.json" odd.json

check plain.json '.components == null and .histogram.bins == 30'
check eigen.json '.components.scores_written == 3 and (.histogram.variables[0].edges | length) == 6'
check odd.json '.data_file | test("\ufffd") and test("\"q\" \\\\ \u0001")'
check odd.json '.variables[1].constant == true and .sampling_adequacy.kmo == null and .rotation.components == 2'
check stdout.json '.m == (.variables | length)'
check tests.json '.correlation_tests.level == 0.9 and (.correlation_tests.interval_low | length) == .m'
check ranks.json '.correlation_tests.method == "kendall" and .correlation_tests.interval_low == null'
check ranks.json '.rotation.method == "promax" and (.sampling_adequacy.msa | length) == .m'

# Standard output of two files reads back line by line, one document a line,
# each the same document as the indented .json file of the same run.
/usr/bin/python3 - lines.jsonl plain.json <<'PY' || fail=1
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    lines = f.read().split("\n")
with open(sys.argv[2], encoding="utf-8") as f:
    indented = json.load(f)
documents = [json.loads(line) for line in lines[:-1]]
if lines[-1] != "" or [d["data_file"] for d in documents] != ["plain.txt", "eigen.txt"]:
    sys.exit("FAIL: --json=- of two files is not two documents, one a line")
if documents[0] != indented:
    sys.exit("FAIL: the one-line document differs from the indented one")
PY

/usr/bin/python3 - "$src/doc/result.schema.json" plain.json eigen.json odd.json stdout.json tests.json ranks.json lines.jsonl <<'PY' || fail=1
import json, sys
import jsonschema
with open(sys.argv[1]) as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
bad = 0
for name in sys.argv[2:]:
    with open(name, encoding="utf-8") as f:
        documents = [json.loads(line) for line in f] if name.endswith(".jsonl") else [json.load(f)]
    for error in (e for d in documents for e in validator.iter_errors(d)):
        bad += 1
        print(f"FAIL: {name}: {error.json_path}: {error.message}")
sys.exit(1 if bad else 0)
PY
[ $fail = 0 ] && echo "json schema: 8 documents valid" || exit 1
