#!/usr/bin/python3
"""Real exports read as they are: each small export in tests/support/exports (R's
write.csv, write.csv2, write.table with tabs and na="", pandas' to_csv with
its index, an iris-like file with a text column) is run through vantor with
--json=-, and its counts, labels, skipped columns, means and variances are
checked against figures computed here independently: the file read with
Python's csv module, the usual missing words and the label and text columns
decided by hand-written rules, and the statistics module's mean and
variance (n - 1) over the rows left after listwise deletion.

Usage: exports_test.py VANTOR SOURCE-DIR"""
import csv
import json
import math
import os
import statistics
import subprocess
import sys
import tempfile

MISSING = {"", "NA", "N/A", "NaN", "nan", "NULL", "null", "#N/A"}

# file, vantor switches, csv delimiter, decimal comma
CASES = [
    ("r_write_csv.csv", ["--csv"], ",", False),
    ("pandas_index.csv", ["--csv"], ",", False),
    ("iris_like.csv", ["--csv"], ",", False),
    ("r_write_table_tab.tsv", ["--separator=tab", "--names"], "\t", False),
    ("r_write_csv2.csv", ["--separator=;", "--comma-decimals", "--names"], ";", True),
]


def number(text, comma):
    if comma:
        text = text.replace(",", ".")
    try:
        return float(text)
    except ValueError:
        return None


def expected(path, delimiter, comma):
    with open(path, newline="") as f:
        rows = [r for r in csv.reader(f, delimiter=delimiter)]
    names, data = rows[0], rows[1:]
    label = names[0] == ""
    kinds = []
    for j, _ in enumerate(names):
        if j == 0 and label:
            kinds.append("label")
            continue
        first = next((r[j] for r in data if r[j].strip() not in MISSING), None)
        kinds.append("empty" if first is None else "value" if number(first, comma) is not None else "text")
    values = [j for j, k in enumerate(kinds) if k == "value"]
    kept = [r for r in data if all(r[j].strip() not in MISSING for j in values)]
    return {
        "n": len(kept),
        "rows_left_out": len(data) - len(kept),
        "labels": [r[0] for r in kept] if label else None,
        "skipped": [{"column": j + 1, "name": names[j], "kind": k}
                    for j, k in enumerate(kinds) if k in ("text", "empty")],
        "variables": [(j + 1, names[j],
                       statistics.mean(number(r[j], comma) for r in kept),
                       statistics.variance(number(r[j], comma) for r in kept)) for j in values],
    }


def close(a, b):
    return math.isclose(a, b, rel_tol=1e-12, abs_tol=1e-12)


def check(vantor, src, name, switches, delimiter, comma):
    path = f"{src}/tests/support/exports/{name}"
    with tempfile.TemporaryDirectory() as out:
        run = subprocess.run([vantor, *switches, "--quiet", "--no-log", "--json=-",
                              f"--results-dir={out}", path], capture_output=True, text=True)
    if run.returncode != 0:
        return [f"{name}: status {run.returncode}: {run.stderr.strip()}"]
    doc = json.loads(run.stdout)
    want = expected(path, delimiter, comma)
    faults = []
    for key in ("n", "rows_left_out"):
        if doc[key] != want[key]:
            faults.append(f"{name}: {key} {doc[key]} != {want[key]}")
    if doc.get("row_labels") != want["labels"]:
        faults.append(f"{name}: row_labels {doc.get('row_labels')} != {want['labels']}")
    if doc.get("skipped_columns", []) != want["skipped"]:
        faults.append(f"{name}: skipped {doc.get('skipped_columns')} != {want['skipped']}")
    got = [(v["column"], v["name"], v["mean"], v["variance"]) for v in doc["variables"]]
    if len(got) != len(want["variables"]):
        return faults + [f"{name}: variables {got} != {want['variables']}"]
    for g, w in zip(got, want["variables"]):
        if g[:2] != w[:2] or not close(g[2], w[2]) or not close(g[3], w[3]):
            faults.append(f"{name}: variable {g} != {w}")
    return faults


def main():
    vantor, src = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    faults = []
    for case in CASES:
        faults += check(vantor, src, *case)
    for f in faults:
        print("FAIL:", f)
    print(f"exports: {len(CASES)} files, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
