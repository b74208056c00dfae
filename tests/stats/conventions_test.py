#!/usr/bin/python3
"""--conventional, --use=pairwise and --by against pandas and numpy, on tables
shaped like R's USArrests (50 states x 4, row names), airquality (153 x 6
with NA in two columns), iris (150 x 4 and a text Species) and mtcars (by
its numeric cyl), generated here with a fixed seed.

The figures compared are what these R commands give on such a table:
  cov(x); cor(x); prcomp(x, scale. = TRUE)           (--conventional)
  cor(x, use = "pairwise.complete.obs")              (--use=pairwise)
  aggregate(. ~ Species, iris, mean); by(iris, iris$Species, ...)   (--by)
and pandas' describe(), cov() and corr(), which is what is run here.

Usage: conventions_test.py VANTOR"""
import json
import math
import os
import subprocess
import sys
import tempfile

import numpy as np
import pandas as pd


def arrests(rng):
    base = rng.normal(size=50)
    cols = {"Murder": 7.8 + 4.3 * base + rng.normal(size=50),
            "Assault": 170 + 80 * base + 30 * rng.normal(size=50),
            "UrbanPop": np.round(66 + 14 * rng.normal(size=50)),
            "Rape": 21 + 9 * (0.6 * base + 0.8 * rng.normal(size=50))}
    return pd.DataFrame(cols, index=[f"State {k}" for k in range(50)])


def airquality(rng):
    n = 153
    temp = np.round(78 + 9 * rng.normal(size=n))
    wind = np.round(10 - 0.2 * (temp - 78) + 3 * rng.normal(size=n), 1)
    ozone = np.round(np.abs(40 + 2.4 * (temp - 78) - 3 * (wind - 10) + 20 * rng.normal(size=n)))
    solar = np.round(185 + 90 * rng.normal(size=n))
    ozone[rng.choice(n, 37, replace=False)] = np.nan
    solar[rng.choice(n, 7, replace=False)] = np.nan
    return pd.DataFrame({"Ozone": ozone, "Solar.R": solar, "Wind": wind, "Temp": temp,
                         "Month": np.repeat([5, 6, 7, 8, 9], [31, 30, 31, 31, 30]),
                         "Day": np.arange(n) % 31 + 1})


def run(vantor, path, *switches):
    with tempfile.TemporaryDirectory() as out:
        done = subprocess.run([vantor, "--csv", "--quiet", "--no-log", "--json=-", "-e",
                               f"--results-dir={out}", *switches, path],
                              capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"{path} {switches}: status {done.returncode}: {done.stderr}")
    return json.loads(done.stdout)


class Faults(list):
    def near(self, what, got, want, tol=1e-12):
        got, want = np.asarray(got, dtype=float), np.asarray(want, dtype=float)
        if got.shape != want.shape or not np.allclose(got, want, rtol=tol, atol=tol):
            self.append(f"{what}: {got.tolist()} != {want.tolist()}")

    def equal(self, what, got, want):
        if got != want:
            self.append(f"{what}: {got} != {want}")


def field(doc, key):
    return [np.nan if v[key] is None else v[key] for v in doc["variables"]]


def check_describe(f, what, doc, df):
    d = df.describe()
    f.equal(f"{what} count", [v["count"] for v in doc["variables"]], d.loc["count"].astype(int).tolist())
    f.equal(f"{what} missing", [v["missing"] for v in doc["variables"]], df.isna().sum().tolist())
    for key, row in (("mean", "mean"), ("standard_deviation", "std"), ("minimum", "min"),
                     ("maximum", "max"), ("median", "50%")):
        f.near(f"{what} {key}", field(doc, key), d.loc[row])


def check_conventional(f, vantor, tmp, rng):
    df = arrests(rng)
    path = os.path.join(tmp, "arrests.csv")
    df.to_csv(path, float_format=repr)
    doc = run(vantor, path, "--conventional", "-e4")
    check_describe(f, "arrests", doc, df)
    f.near("arrests variance", field(doc, "variance"), df.var())
    f.near("arrests cov", doc["covariance"], df.cov())
    f.near("arrests cor", doc["correlation"], df.corr())
    values, vectors = np.linalg.eigh(df.corr().to_numpy())
    order = np.argsort(values)[::-1]
    f.near("arrests eigenvalues", doc["components"]["eigenvalues"], values[order], 1e-10)
    # The rotations stop at their threshold: the vectors agree to about
    # seven digits, the eigenvalues to ten. Signs are either way.
    loadings = np.abs(vectors[:, order] * np.sqrt(values[order]))
    f.near("arrests loadings", np.abs(doc["components"]["loadings"]), loadings, 1e-6)

    df["Constant"] = 3.0
    df.to_csv(path, float_format=repr)
    doc = run(vantor, path, "--conventional")
    last = doc["variables"][-1]
    f.equal("constant shown", [last[k] for k in ("variance", "standard_deviation", "skewness",
                                                  "kurtosis", "constant")], [0, 0, None, None, True])
    f.equal("constant correlations", doc["correlation"][-1], [0, 0, 0, 0, 1])


def check_pairwise(f, vantor, tmp, rng):
    df = airquality(rng)
    path = os.path.join(tmp, "airquality.csv")
    df.to_csv(path, float_format=repr, na_rep="NA", index=False)
    doc = run(vantor, path, "--use=pairwise", "--conventional")
    check_describe(f, "pairwise", doc, df)
    f.near("pairwise cor", doc["correlation"], df.corr())
    f.near("pairwise cov", doc["covariance"], df.cov())
    complete = df.dropna()
    f.equal("pairwise rows", (doc["n"], doc["rows_left_out"]), (len(complete), len(df) - len(complete)))

    doc = run(vantor, path)
    f.equal("listwise count", [v["count"] for v in doc["variables"]], [len(complete)] * 6)
    f.equal("listwise missing", [v["missing"] for v in doc["variables"]], df.isna().sum().tolist())
    f.near("listwise mean", field(doc, "mean"), complete.mean())


def check_groups(f, vantor, tmp, rng):
    species = np.repeat(["setosa", "versicolor", "virginica"], 50)
    base = np.repeat([5.0, 5.9, 6.6], 50) + 0.4 * rng.normal(size=150)
    iris = pd.DataFrame({"Sepal.Length": np.round(base, 1),
                         "Sepal.Width": np.round(3 + 0.3 * rng.normal(size=150), 1),
                         "Petal.Length": np.round(base - 3.5 + 0.3 * rng.normal(size=150), 1),
                         "Species": species})
    iris.loc[[3, 77], "Species"] = np.nan  # rows in no group
    mtcars = pd.DataFrame({"mpg": np.round(30 - 2 * rng.normal(size=32) ** 2, 1),
                           "cyl": rng.choice([4, 6, 8], 32), "hp": rng.integers(50, 300, 32)})
    for name, df, by in (("iris", iris, "Species"), ("mtcars", mtcars, "cyl")):
        path = os.path.join(tmp, name + ".csv")
        df.to_csv(path, float_format=repr, na_rep="NA", index=False)
        doc = run(vantor, path, f"--by={by}")
        grouped = df.dropna(subset=[by]).groupby(by, sort=False)
        values = [str(v) for v in grouped.groups]
        f.equal(f"{name} groups", [g["value"] for g in doc["groups"]], values)
        for g, (_, part) in zip(doc["groups"], grouped):
            part = part.drop(columns=by)
            f.equal(f"{name} {g['value']} rows", g["rows"], len(part))
            f.near(f"{name} {g['value']} mean", field(g["analysis"], "mean"), part.mean())
            f.near(f"{name} {g['value']} variance", field(g["analysis"], "variance"), part.var())


def main():
    vantor = os.path.abspath(sys.argv[1])
    rng = np.random.default_rng(1973)
    f = Faults()
    with tempfile.TemporaryDirectory() as tmp:
        check_conventional(f, vantor, tmp, rng)
        check_pairwise(f, vantor, tmp, rng)
        check_groups(f, vantor, tmp, rng)
    for fault in f:
        print("FAIL:", fault)
    print(f"conventions: {len(f)} faults")
    return 1 if f else 0


if __name__ == "__main__":
    sys.exit(main())
