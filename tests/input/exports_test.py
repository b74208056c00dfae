#!/usr/bin/python3
"""Real exports read as they are: each small export in tests/support/exports (R's
write.csv, write.csv2, write.table with tabs and na="", pandas' to_csv with
its index, an iris-like file with a text column) is run through vantor with
--json=-, and its counts, labels, skipped columns, means and variances are
checked against what pandas makes of the same file:
  df = pd.read_csv(path, sep=delimiter, decimal=comma, na_values=MISSING,
                   keep_default_na=False, float_precision="round_trip")
  kept = df[value_columns].dropna(); kept.mean(); kept.var()
(R: colMeans(na.omit(x)), apply(na.omit(x), 2, var)). The label column (an
empty first name) and the text and empty columns are those pandas reads as
the index, as object columns and as columns without a value.

Usage: exports_test.py VANTOR SOURCE-DIR"""
import json
import math
import os
import subprocess
import sys
import tempfile

import pandas as pd

MISSING = {"", "NA", "N/A", "NaN", "nan", "NULL", "null", "#N/A"}

# file, vantor switches, csv delimiter, decimal comma
CASES = [
    ("r_write_csv.csv", ["--csv"], ",", False),
    ("pandas_index.csv", ["--csv"], ",", False),
    ("iris_like.csv", ["--csv"], ",", False),
    ("r_write_table_tab.tsv", ["--separator=tab", "--names"], "\t", False),
    ("r_write_csv2.csv", ["--separator=;", "--comma-decimals", "--names"], ";", True),
]


def expected(path, delimiter, comma):
    df = pd.read_csv(path, sep=delimiter, decimal="," if comma else ".",
                     na_values=sorted(MISSING), keep_default_na=False, float_precision="round_trip")
    names = [str(c) for c in df.columns]
    label = names[0].startswith("Unnamed: 0")
    kinds = []
    for j, col in enumerate(df.columns):
        if j == 0 and label:
            kinds.append("label")
        elif df[col].isna().all():
            kinds.append("empty")
        else:
            kinds.append("value" if pd.api.types.is_numeric_dtype(df[col]) else "text")
    values = [df.columns[j] for j, k in enumerate(kinds) if k == "value"]
    kept = df.dropna(subset=values)
    shown = ["" if label and j == 0 else n for j, n in enumerate(names)]
    return {
        "n": len(kept),
        "rows_left_out": len(df) - len(kept),
        "labels": [str(v) for v in kept.iloc[:, 0]] if label else None,
        "skipped": [{"column": j + 1, "name": shown[j], "kind": k}
                    for j, k in enumerate(kinds) if k in ("text", "empty")],
        "variables": [(j + 1, names[j], kept[df.columns[j]].mean(), kept[df.columns[j]].var())
                      for j, k in enumerate(kinds) if k == "value"],
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
