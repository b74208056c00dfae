# vantor.analyse against the program: the same data and switches give the
# same documents and files byte for byte from a path, and the same numbers
# bit for bit from an array or a DataFrame; bad input raises, never crashes.
import io
import json
import os
import re
import shutil
import subprocess

import numpy
import pandas
import pytest

import vantor

SOURCE = os.environ["VANTOR_SOURCE_DIR"]
VANTOR = os.environ["VANTOR_BINARY"]
CASES = os.path.join(SOURCE, "tests", "e2e", "cases")


def data(*parts):
    return os.path.join(SOURCE, *parts)


PLAIN = dict(sep=r"\s+", header=None, comments="#;!")


def read_frame(path, read):
    """The data file as pandas reads it with correctly rounded numbers
    (comment lines of a white-space file dropped first)."""
    read = dict(read)
    comments = read.pop("comments", "")
    text = "".join(line for line in open(path) if not line.startswith(tuple(comments) or "\0"))
    return pandas.read_csv(io.StringIO(text), float_precision="round_trip", **read)


# (data file, keywords of vantor.analyse, how pandas reads it as a frame)
TABLE = [
    (data("examples", "fish.txt"), dict(components=3), PLAIN),
    (data("examples", "fish.txt"), dict(components=7, pearson=True, bins=9),
     PLAIN),
    (data("examples", "measurements.txt"), dict(components=0, files=("cor", "cov", "std")),
     PLAIN),
    (data("examples", "plots_r.csv"), dict(components=2, csv=True), dict(na_values=["NA"])),
    (data("examples", "plots.tsv"), dict(components=3, separator="\t"), dict(sep="\t")),
    (os.path.join(CASES, "offset_variable_keeps_its_variance", "files", "data.txt"),
     dict(components=2), PLAIN),
    (os.path.join(CASES, "stats_constant_columns_warning", "files", "data.txt"),
     dict(components=3, files=("his",)), PLAIN),
]

SWITCHES = {"cor": "-c", "cov": "-v", "std": "-b", "his": "-h"}


def command_line(path, kw):
    """The program's switches for the keywords of one table row."""
    args = []
    if kw.get("components"):
        args.append("-e%d" % kw["components"])
    if kw.get("bins", 30) != 30:
        args.append("-h%d" % kw["bins"])
    if kw.get("pearson"):
        args.append("--pearson")
    args += [SWITCHES[f] for f in kw.get("files", ())]
    if kw.get("csv"):
        args.append("--csv")
    if kw.get("separator") == "\t":
        args.append("--separator=tab")
    return args


def run_program(tmp, path, args):
    """Runs the program on a copy of `path` in `tmp` with --json and --report;
    returns the directory holding its results."""
    shutil.copy(path, tmp)
    name = os.path.basename(path)
    subprocess.run([VANTOR, "--quiet", "--no-log", *args, "--json", "--report", name],
                   cwd=tmp, check=True, capture_output=True)
    return tmp


NUMBERS = ["n", "m", "rows_left_out", "variables", "covariance", "correlation", "histogram",
           "components"]


@pytest.mark.parametrize("path,kw,read", TABLE)
def test_same_results_as_the_program(tmp_path, monkeypatch, path, kw, read):
    stem = os.path.splitext(os.path.basename(path))[0]
    args = command_line(path, kw)
    os.makedirs(tmp_path / "cli")
    cli = run_program(tmp_path / "cli", path, args)
    expected = {f: open(cli / f, "rb").read() for f in os.listdir(cli) if f.startswith(stem + ".")
                and f != os.path.basename(path)}
    doc = json.loads(expected[stem + ".json"])

    # From the path: the same document, page and result files, byte for byte.
    shutil.copy(path, tmp_path)
    monkeypatch.chdir(tmp_path)
    r = vantor.analyse(os.path.basename(path), files=kw.get("files", ()) +
                       ("json", "html"), **{k: v for k, v in kw.items() if k != "files"})
    r.write(tmp_path / "py")
    assert sorted(os.listdir(tmp_path / "py")) == sorted(expected)
    for f in expected:
        if f.endswith(".html"):
            continue  # compared below
        assert open(tmp_path / "py" / f, "rb").read() == expected[f], f
    assert json.loads(r.to_json())["variables"] == doc["variables"]
    # The page names the switches of its own run; the rest is the same.
    def page(text):
        return re.sub(r"<dt>Switches</dt><dd>[^<]*</dd>", "", text)
    assert page(r.to_html()) == page(expected[stem + ".html"].decode())

    # From a frame and from an array: the same numbers, bit for bit.
    frame = read_frame(path, read)
    kw_mem = {k: v for k, v in kw.items() if k not in ("csv", "separator", "files")}
    for given in (frame, frame.select_dtypes("number").to_numpy(), ):
        got = json.loads(vantor.analyse(given, **kw_mem).to_json())
        for key in NUMBERS:
            if isinstance(given, numpy.ndarray) and key in ("variables", "histogram"):
                # An array has no names, and its columns are its own.
                for v in got[key] + doc[key] if key == "variables" else \
                        got[key]["variables"] + doc[key]["variables"]:
                    v.pop("column"), v.pop("name", None)
            assert got[key] == doc[key], key
    r = vantor.analyse(frame, **kw_mem)
    stats = r.statistics
    assert stats["mean"].tolist() == [v["mean"] for v in doc["variables"]]
    if kw.get("components"):
        assert r.eigenvalues.tolist() == doc["components"]["eigenvalues"]


def test_fortran_order_and_views_give_the_same_bits():
    x = numpy.random.default_rng(7).normal(3.0, 2.0, size=(500, 6))
    x[::37, 2] = numpy.nan
    base = vantor.analyse(numpy.ascontiguousarray(x), components=3).to_json()
    for other in (numpy.asfortranarray(x), numpy.ascontiguousarray(x[::-1])[::-1]):
        assert vantor.analyse(other, components=3).to_json() == base


@pytest.mark.parametrize("data,error,text", [
    (numpy.array([["a", "b"], ["c", "d"]]), TypeError, "numbers"),
    (numpy.arange(5.0), ValueError, "2-D"),
    (pandas.DataFrame(), ValueError, "Too few variables"),
    (pandas.DataFrame({"s": ["x", "y"]}), ValueError, "Too few variables"),
    (numpy.array([[1.0, numpy.inf], [2.0, 3.0]]), ValueError, "Infinite value in row 1, column 2"),
    (numpy.full((3, 2), numpy.nan), ValueError, "Too few variables"),
    (numpy.zeros((0, 3)), ValueError, "Too few variables"),
    ([[1.0, 2.0]], TypeError, "NumPy array"),
    ("/nonexistent/file.txt", ValueError, "/nonexistent/file.txt"),
])
def test_bad_input_raises(data, error, text):
    with pytest.raises(error, match=text.replace("(", r"\(")):
        vantor.analyse(data)


def test_bad_keywords_raise():
    x = numpy.ones((4, 2))
    for kw, text in ((dict(names=["a"]), "1 names given for 2 variables"),
                     (dict(missing="pairwise"), "listwise"),
                     (dict(components=-1), "components"),
                     (dict(files=("xyz",)), "unknown result file"),
                     (dict(csv=True), "data files only")):
        with pytest.raises(ValueError, match=text):
            vantor.analyse(x, **kw)


def test_frame_text_columns_are_skipped_and_named(valid_document):
    frame = pandas.DataFrame({"kind": ["a", "b", "c", "d"], "x": [1.0, 2, 3, 5],
                              "y": [2, 1, 4, 3], "when": pandas.to_datetime(["2020-01-01"] * 4)})
    r = vantor.analyse(frame, components=0)
    doc = json.loads(r.to_json())
    valid_document(doc)
    assert [v["column"] for v in doc["variables"]] == [2, 3]
    assert [s["column"] for s in doc["skipped_columns"]] == [1, 4]
    assert list(r.statistics.index) == ["x", "y"]


# Every analysis keyword beside the switch it stands for: the same document
# from a path byte for byte, and the same numbers from the frame.
KEYWORD_SWITCHES = [
    (dict(conventional=True, by="g"), ["--conventional", "--by=g"]),
    (dict(use="pairwise"), ["--use=pairwise"]),
    (dict(conventional=True, use="pairwise", by="g"),
     ["--conventional", "--use=pairwise", "--by=g"]),
    (dict(pearson=True, components=2), ["--pearson", "-e2"]),
    (dict(bins=7), ["-h7"]),
    (dict(by="g"), ["--by=g"]),
    (dict(by="g", use="pairwise", conventional=True),
     ["--by=g", "--use=pairwise", "--conventional"]),
    (dict(conventional=True, rank="kendall", ci=0.9, by="g"),
     ["--conventional", "--rank=kendall", "--ci=0.9", "--by=g"]),
    (dict(rank="spearman", components=2), ["--rank=spearman", "-e2"]),
    (dict(conventional=True, components=2, rotate="promax"),
     ["--conventional", "-e2", "--rotate=promax"]),
]

GAPPY = ("g,x,y,z\na,1.5,2,7\nb,,3,1\na,2.25,4.5,\nb,3,,2\na,4,1,5\nb,5.5,6,3\n"
         "a,6,2.5,8\nb,7,8,\n")


@pytest.mark.parametrize("kw,switches", KEYWORD_SWITCHES)
def test_keywords_give_the_switches_results(tmp_path, kw, switches):
    kw = {"components": 0, **kw}
    path = tmp_path / "gappy.csv"
    path.write_text(GAPPY)
    out = subprocess.run([VANTOR, "--quiet", "--no-log", "--csv", *switches, "--json=-", str(path)],
                         check=True, capture_output=True).stdout
    doc = json.loads(out)
    from_path = json.loads(vantor.analyse(str(path), csv=True, **kw).to_json())
    assert from_path == doc
    frame = pandas.read_csv(path, float_precision="round_trip")
    from_frame = json.loads(vantor.analyse(frame, **kw).to_json())
    for g in from_frame.get("groups", []) + doc.get("groups", []):
        g["analysis"].pop("data_file")
    for key in NUMBERS + ["groups"]:
        assert from_frame.get(key) == doc.get(key), key
    r = vantor.analyse(frame, **kw)
    assert list(r.groups) == [g["value"] for g in doc.get("groups", [])]
    for g in doc.get("groups", []):
        assert r.groups[g["value"]].statistics["mean"].tolist() == \
            [v["mean"] for v in g["analysis"]["variables"]]


# Frames as pandas users hold them: nullable columns with <NA>, an index of
# row names, pandas' own written index read back as "Unnamed: 0".
def test_frames_as_people_hold_them(tmp_path):
    plain = pandas.DataFrame({"x": [1.0, numpy.nan, 3.0, 4.5, 2.0],
                              "y": [2.5, 1.0, numpy.nan, 7.0, 3.0]})
    nullable = pandas.DataFrame({"x": pandas.array([1, None, 3, 4.5, 2], dtype="Float64"),
                                 "y": pandas.array([2.5, 1, None, 7, 3], dtype="Float64"),
                                 "flag": pandas.array([True, None, False, True, True],
                                                      dtype="boolean")})
    want = json.loads(vantor.analyse(plain, components=2).to_json())
    got = json.loads(vantor.analyse(nullable, components=2).to_json())
    for key in ("n", "rows_left_out", "covariance", "correlation", "components"):
        assert got[key] == want[key], key
    assert [s["name"] for s in got["skipped_columns"]] == ["flag"]

    named = plain.set_axis(["p%d" % k for k in range(5)])
    doc = json.loads(vantor.analyse(named, components=2).to_json())
    assert doc["row_labels"] == ["p0", "p3", "p4"]   # rows 2 and 3 have a gap

    path = tmp_path / "written.csv"
    plain.to_csv(path)
    back = pandas.read_csv(path, float_precision="round_trip")
    with pytest.warns(UserWarning, match="Unnamed: 0"):
        r = vantor.analyse(back, components=2)
    assert list(r.statistics.index) == ["x", "y"]
    assert json.loads(r.to_json())["correlation"] == want["correlation"]




@pytest.mark.parametrize("rank", [None, "spearman"])
def test_tests_and_robust_measures_are_the_documents(rank):
    """Result.correlation_tests and Result.robust hold the JSON document's
    numbers, named by variable and pair; None without conventional."""
    frame = pandas.DataFrame({"x": [1.5, 2, 3.25, 4, 6, 5], "y": [2, 9, 5, 6.5, 7, 1],
                              "z": [3, 1, 4, 1, 5, 9]})
    r = vantor.analyse(frame, conventional=True, rank=rank, ci=0.8, components=0)
    doc = json.loads(r.to_json())
    tests = doc["correlation_tests"]
    assert tests["level"] == 0.8
    t = r.correlation_tests
    assert list(t.index) == [("x", "y"), ("x", "z"), ("y", "z")]
    assert list(t.index.names) == ["variable", "other"]
    for (a, b), row in t.iterrows():
        i, j = list(r.variables).index(a), list(r.variables).index(b)
        for key in tests:
            if key not in ("method", "level"):
                assert row[key] == tests[key][i][j], key
    assert ("interval_low" in t.columns) == (rank is None)
    robust = r.robust
    for k, v in enumerate(doc["variables"]):
        assert robust.iloc[k]["mean_low"] == v["mean_interval"][0]
        assert robust.iloc[k]["percentile_99"] == v["percentile_99"]
        assert robust.iloc[k]["mad"] == v["mad"]
    plain = vantor.analyse(frame, components=0)
    assert plain.correlation_tests is None and plain.robust is None


def test_adequacy_and_rotation_are_the_documents():
    """Result's adequacy and rotation frames hold the JSON document's numbers,
    named by variable, measure and component; None when not asked for."""
    frame = pandas.DataFrame({"x": [1.5, 2, 3.25, 4, 6, 5, 7], "y": [2, 9, 5, 6.5, 7, 1, 3],
                              "z": [3, 1, 4, 1, 5, 9, 2], "w": [1, 2, 2, 3, 5, 4, 6]})
    r = vantor.analyse(frame, conventional=True, components=2, rotate="varimax")
    doc = json.loads(r.to_json())
    q, rot = doc["sampling_adequacy"], doc["rotation"]
    assert r.sampling_adequacy["kmo"] == q["kmo"] and r.adequacy_reason is None
    assert r.sampling_adequacy.index.name == "measure"
    assert r.msa.tolist() == q["msa"] and list(r.msa.index) == ["x", "y", "z", "w"]
    assert r.rotated_loadings.values.tolist() == rot["loadings"]
    assert list(r.rotated_loadings.columns) == ["RC1", "RC2"]
    assert r.rotation_matrix.values.tolist() == rot["matrix"]
    assert r.rotated_variance.loc["proportion"].tolist() == rot["proportion"]
    plain = vantor.analyse(frame, components=2)
    assert plain.sampling_adequacy is None and plain.rotated_loadings is None
    with pytest.raises(ValueError, match="--rotate needs -e"):
        vantor.analyse(frame, conventional=True, components=0, rotate="varimax")


def test_normality_and_group_tests_are_the_documents():
    """Result.normality and Result.group_tests hold the JSON document's
    numbers, indexed by variable; None without conventional or by."""
    frame = pandas.DataFrame({"x": [1.5, 2, 3.25, 4, 6, 5, 8, 2.5], "y": [2, 9, 5, 6.5, 7, 1, 3, 3],
                              "g": ["a", "b", "a", "b", "c", "c", "a", "b"]})
    r = vantor.analyse(frame, by="g", conventional=True, components=0)
    doc = json.loads(r.to_json())
    normality = r.normality
    assert normality.index.name == "variable"
    for k, v in enumerate(doc["variables"]):
        assert normality.iloc[k]["statistic"] == v["normality"]["statistic"]
        assert normality.iloc[k]["p_value"] == v["normality"]["p_value"]
    groups = r.group_tests
    assert list(groups.index) == ["x", "y"]
    for k, v in enumerate(doc["group_tests"]["variables"]):
        assert groups.iloc[k]["welch_df2"] == v["welch"]["df"][1]
        assert groups.iloc[k]["kruskal_p"] == v["kruskal_wallis"]["p_value"]
        assert groups.iloc[k]["brown_forsythe_statistic"] == v["brown_forsythe"]["statistic"]
        assert groups.iloc[k]["eta_squared"] == v["eta_squared"]
    assert r.groups["a"].group_tests is None
    assert vantor.analyse(frame, by="g", components=0).normality is None
