# vantor.dask.analyse on a real cluster (a scheduler and two worker
# processes over loopback TCP) against vantor.analyse on the same rows, with
# uneven, empty and one-row partitions; and a worker killed mid-analysis.
import gzip
import json
import os
import signal
import threading
import time

import dask
import dask.array as da
import dask.dataframe as dd
import numpy
import pandas
import pytest

import vantor
import vantor.dask

distributed = pytest.importorskip("distributed")

# Fields the parts must give exactly; the rest within 1e-10.
EXACT = {"column", "name", "count", "minimum", "maximum", "median", "lower_quartile",
         "upper_quartile", "constant"}
CUTS = [0, 700, 700, 701, 2900, 2901, 3000, 3000, 5000]   # empty and one-row parts among them


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None, silence_logs=50) as cluster, \
            distributed.Client(cluster) as c:
        yield c


@pytest.fixture(scope="module")
def deployed(tmp_path_factory):
    """A scheduler and two single-threaded workers started as separate
    processes with Dask's own command-line tools, over loopback."""
    import subprocess
    import sys
    here = tmp_path_factory.mktemp("cluster")
    address = here / "scheduler.json"
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    tool = [sys.executable, "-m"]
    started = [subprocess.Popen(tool + ["distributed.cli.dask_scheduler", "--host", "127.0.0.1",
                                        "--port", "0", "--no-dashboard",
                                        "--scheduler-file", str(address)],
                                env=env, cwd=here, stderr=subprocess.DEVNULL)]
    for _ in range(50):
        if address.exists() and address.stat().st_size > 0:
            break
        time.sleep(0.2)
    for _ in range(2):
        started.append(subprocess.Popen(tool + ["distributed.cli.dask_worker", "--nthreads", "1",
                                                "--no-dashboard", "--scheduler-file", str(address)],
                                        env=env, cwd=here, stderr=subprocess.DEVNULL))
    try:
        with distributed.Client(scheduler_file=str(address), timeout=30) as c:
            c.wait_for_workers(2, timeout=60)
            yield c
    finally:
        for p in reversed(started):
            p.terminate()
            p.wait(30)


def table(rows=5000, seed=3):
    rng = numpy.random.default_rng(seed)
    base = rng.normal(size=rows)
    frame = pandas.DataFrame({
        "site": ["s%d" % (k % 7) for k in range(rows)],
        "height": 20 + 3 * base + rng.normal(size=rows),
        "mass": numpy.round(50 + 10 * base + rng.gamma(2.0, 2.0, size=rows), 1),
        "count": rng.integers(0, 9, size=rows),
        "offset": 1e4 + rng.normal(size=rows),
    })
    frame.loc[::211, "mass"] = numpy.nan
    return frame


def slice_of(frame, a, b, pause=0.0):
    time.sleep(pause)
    return frame.iloc[a:b]


def dask_frame(frame, pause=0.0):
    parts = [dask.delayed(slice_of)(frame, a, b, pause) for a, b in zip(CUTS, CUTS[1:])]
    return dd.from_delayed(parts, meta=frame.iloc[:0], verify_meta=False)


def assert_close(doc, ref):
    for key in ("n", "m", "rows_left_out", "skipped_columns", "histogram"):
        assert doc[key] == ref[key], key
    for got, want in zip(doc["variables"], ref["variables"]):
        for field, value in want.items():
            if field in EXACT:
                assert got[field] == value, field
            elif field in ("skewness", "kurtosis"):   # near zero: absolute
                assert abs(got[field] - value) <= 1e-10, field
            else:
                assert abs(got[field] - value) <= 1e-10 * abs(value), field
    for key in ("covariance", "correlation"):
        g, w = numpy.array(doc[key]), numpy.array(ref[key])
        assert numpy.all(numpy.abs(g - w) <= 1e-10 * numpy.abs(w).max()), key
    e, f = doc["components"], ref["components"]
    assert numpy.allclose(e["eigenvalues"], f["eigenvalues"], rtol=1e-10, atol=0)


def test_cluster_gives_the_in_memory_analysis(client, valid_document):
    frame = table()
    ref = json.loads(vantor.analyse(frame, components=3).to_json())
    doc = json.loads(vantor.dask.analyse(dask_frame(frame), components=3).to_json())
    valid_document(doc)
    assert_close(doc, ref)
    # A dask array of the numeric columns, in uneven row blocks.
    x = frame.drop(columns="site").to_numpy()
    chunks = (tuple(b - a for a, b in zip(CUTS, CUTS[1:])), (x.shape[1],))
    arr = vantor.dask.analyse(da.from_array(x, chunks=chunks), components=3, pearson=True)
    mem = vantor.analyse(x, components=3, pearson=True)
    assert arr.statistics[["minimum", "maximum", "median", "upper_quartile"]].equals(
        mem.statistics[["minimum", "maximum", "median", "upper_quartile"]])
    assert (arr.histogram_counts.values == mem.histogram_counts.values).all()
    assert numpy.allclose(arr.loadings.abs(), mem.loadings.abs(), rtol=1e-9, atol=1e-12)


def test_conventional_figures_that_merge(client):
    frame = table()
    ref = vantor.analyse(frame, components=0, conventional=True)
    got = vantor.dask.analyse(dask_frame(frame), components=0, conventional=True)
    assert numpy.allclose(got.covariance, ref.covariance, rtol=1e-10, atol=0)
    tests, want = got.correlation_tests, ref.correlation_tests
    assert (tests["pairs"] == want["pairs"]).all()
    assert numpy.allclose(tests.drop(columns="pairs"), want.drop(columns="pairs"), rtol=1e-8)
    assert got.robust is not None and got.normality is not None


def test_rows_stay_in_the_parts():
    r = vantor.dask.analyse(da.from_array(numpy.arange(40.0).reshape(20, 2), chunks=(3, 2)),
                            components=2)
    with pytest.raises(ValueError, match="The component scores need the rows"):
        r.scores()
    with pytest.raises(ValueError, match="score plot needs the rows"):
        r.to_html()
    for bad, error in ((da.ones((5,)), ValueError), (da.from_array(numpy.array([["a"]])), TypeError),
                       (numpy.ones((3, 2)), TypeError)):
        with pytest.raises(error):
            vantor.dask.analyse(bad)
    with pytest.raises(ValueError, match="Infinite"):
        vantor.dask.analyse(da.from_array(numpy.array([[1.0, numpy.inf], [2, 3]])))


@pytest.mark.parametrize("cluster", ["client", "deployed"])
def test_killed_worker_gives_the_answer_or_an_error(request, cluster):
    client = request.getfixturevalue(cluster)
    frame = table(seed=4)
    ref = json.loads(vantor.analyse(frame, components=2).to_json())
    pids = list(client.run(os.getpid).values())
    outcome = {}

    def run():
        try:
            outcome["doc"] = json.loads(vantor.dask.analyse(dask_frame(frame, pause=0.3),
                                                            components=2).to_json())
        except Exception as error:  # a clear error is an allowed outcome
            outcome["error"] = error

    worker = threading.Thread(target=run)
    worker.start()
    time.sleep(0.8)
    os.kill(pids[0], signal.SIGKILL)
    worker.join(120)
    assert not worker.is_alive()
    assert pids[0] not in client.run(os.getpid).values()  # it was killed (and replaced)
    if cluster == "deployed":  # the nanny restarts the worker and Dask retries its tasks
        assert "doc" in outcome, outcome
    if "error" in outcome:
        assert str(outcome["error"]) or type(outcome["error"]).__name__
    else:
        assert_close(outcome["doc"], ref)


# Signed zeros: a position among a column's zeros holds the zero of that rank
# in row order, in parts as in memory, whether the zeros' bucket is gathered
# (few zeros) or settled on its whole key (more zeros than a gather takes).
@pytest.mark.parametrize("columns,parts", [
    ({"a": [0.0, 1.0], "b": [-0.0, 2.0]}, 1),
    ({"a": [0.0, -0.0, -0.0, 1.0, -0.0, 0.0, 2.0, 0.0]}, 3),
    ({"a": [-0.0] * 70000 + [0.0] * 70000 + [1.0] * 10, "b": [0.0] * 140000 + [-0.0] * 10}, 4),
])
def test_signed_zeros_agree_with_memory(client, columns, parts):
    frame = pandas.DataFrame({k: numpy.array(v) for k, v in columns.items()})
    if len(columns) == 1:
        frame = pandas.DataFrame({"a": frame["a"], "b": frame["a"][::-1].to_numpy()})
    memory = vantor.analyse(frame, components=0).statistics
    got = vantor.dask.analyse(dd.from_pandas(frame, npartitions=parts), components=0).statistics
    for field in ("median", "lower_quartile", "upper_quartile"):
        for want, have in zip(memory[field], got[field]):
            assert (want, numpy.signbit(want)) == (have, numpy.signbit(have)), field


# Files read on the workers by the program's loader: the analysis of their
# rows together, as vantor.analyse gives it for the concatenated file, and a
# bad row's error naming its file.
@pytest.mark.parametrize("header,body,keywords", [
    ("", "{a} {b} {c}\n", {}),
    ("x,y,z\n", "{a},{b},{c}\n", dict(csv=True)),
    ("x;y;k;z\n", "{a};{b};t{c};{c}\n", dict(separator=";", comma_decimals=True)),
])
def test_files_read_on_the_workers(client, tmp_path, header, body, keywords):
    rng = numpy.random.default_rng(5)
    rows = [(round(rng.normal(), 3), round(rng.normal(5, 2), 2), int(rng.integers(0, 4)))
            for _ in range(900)]
    text = lambda part: "".join(body.format(a=a, b=b, c=c) for a, b, c in part)
    decimal = (lambda t: t.replace(".", ",")) if keywords.get("comma_decimals") else (lambda t: t)
    whole = tmp_path / "whole.txt"
    whole.write_text(header + decimal(text(rows)))
    for k, (a, b) in enumerate(((0, 1), (1, 400), (400, 900))):
        (tmp_path / "parts").mkdir(exist_ok=True)
        (tmp_path / "parts" / ("p%d.txt" % k)).write_text(header + decimal(text(rows[a:b])))
    ref = json.loads(vantor.analyse(str(whole), components=2, **keywords).to_json())
    got = vantor.dask.analyse_files(str(tmp_path / "parts"), components=2, **keywords)
    assert got.partitions == 3 and len(got.pass_seconds) >= 2
    doc = json.loads(got.to_json())
    for d in (doc, ref):
        d.setdefault("skipped_columns", [])
    assert_close(doc, ref)

    (tmp_path / "parts" / "p9.txt").write_text(header + decimal(text(rows[:3])) + "1\n")
    with pytest.raises(ValueError, match="p9.txt"):
        vantor.dask.analyse_files(str(tmp_path / "parts"), **keywords)


# One file split at line starts into parts of a few kilobytes: the analysis
# of the whole file, a column that turns to text in a late part taken out
# of every part, a bad row's error naming the file and its line, and a
# compressed file loaded whole.
@pytest.mark.parametrize("header,sep,late", [("", " ", None), ("x,y,z\n", ",", "1,abc,2\n")])
def test_a_file_split_into_parts(client, tmp_path, header, sep, late):
    rng = numpy.random.default_rng(7)
    lines = [sep.join("%.3f" % v for v in rng.normal(size=3)) + "\n" for _ in range(2000)]
    lines[1800] = late or lines[1800]
    keywords = dict(csv=True) if header else {}
    whole = tmp_path / "whole.txt"
    whole.write_text(header + "".join(lines))
    ref = json.loads(vantor.analyse(str(whole), components=2, **keywords).to_json())
    got = vantor.dask.analyse_files([str(whole)], components=2, part_bytes=4000, **keywords)
    assert got.partitions > 5
    doc = json.loads(got.to_json())
    for d in (doc, ref):
        d.setdefault("skipped_columns", [])
    assert_close(doc, ref)
    lines[1700] = sep.join(["1", "x", "2"]) + "\n"
    (tmp_path / "bad.txt").write_text(header + "".join(lines))
    with pytest.raises(ValueError, match="bad.txt: Not a number in line %d, " % (1701 + bool(header))):
        vantor.dask.analyse_files([str(tmp_path / "bad.txt"), str(whole)], part_bytes=4000,
                                  numbers_only=True, **keywords)
    packed = tmp_path / "whole.txt.gz"
    packed.write_bytes(gzip.compress(whole.read_bytes()))
    assert vantor.dask.analyse_files(str(packed), part_bytes=4000, **keywords).partitions == 1


# Offset columns: the merged moments stay within 1e-12 of a two-pass
# variance at every offset; the program's one-pass variance, kept while the
# mean lies within 256 standard deviations of zero, is the less accurate of
# the two there, and the two agree within 1e-8.
def test_offset_columns_agreement(client):
    rng = numpy.random.default_rng(2)
    for offset in (0, 75, 200, 1000):
        frame = pandas.DataFrame({"x": offset + rng.normal(size=50000),
                                  "y": 3 * offset + 2 * rng.normal(size=50000)})
        two_pass = frame.var(ddof=1).to_numpy()
        memory = vantor.analyse(frame, components=0).statistics["variance"].to_numpy()
        parts = vantor.dask.analyse(dd.from_pandas(frame, npartitions=7),
                                    components=0).statistics["variance"].to_numpy()
        assert (abs(parts - two_pass) <= 1e-12 * two_pass).all(), offset
        assert (abs(parts - memory) <= 1e-8 * memory).all(), offset


# Columns whose median and quartiles take each way of the search: ties held
# by one key beyond a gather, zeros of both signs beyond a gather, one value
# throughout, a range of 600 binades, missing values, a binade too full to
# gather, two neighbouring keys tied beyond a gather in a wider range. Bit
# for bit as memory, in the passes stated.
def _ties(rng, n):
    return {"ties": rng.integers(1, 4, n).astype(float), "few": rng.integers(0, 9, n) / 4}


def _zeros(rng, n):
    z = numpy.where(rng.random(n) < 0.5, -0.0, 0.0)
    z[rng.random(n) < 0.2] = 1.5
    return {"zeros": z, "minus": numpy.full(n, -0.0)}


def _huge(rng, n):
    x = rng.choice([-1.0, 1.0], n) * 10.0 ** rng.uniform(-300, 300, n)
    x[:50] = 5e-324
    return {"huge": x, "constant": numpy.full(n, 7.5)}


def _missing(rng, n):
    x = rng.normal(size=n)
    x[rng.random(n) < 0.1] = numpy.nan
    return {"gappy": x, "binade": 1 + rng.random(n)}


def _neighbours(rng, n):
    x = numpy.where(rng.random(n) < 0.5, 1.0, numpy.nextafter(1.0, 2.0))
    x[:2] = 1.5, 1.9
    return {"near": x}


@pytest.mark.parametrize("make,passes", [(_ties, 2), (_zeros, 2), (_huge, 2), (_missing, 2),
                                         (_neighbours, 3)])
def test_order_statistics_through_the_passes(client, make, passes):
    frame = pandas.DataFrame(make(numpy.random.default_rng(8), 240000))
    memory = vantor.analyse(frame, components=0).statistics
    got = vantor.dask.analyse(dd.from_pandas(frame, npartitions=5), components=0)
    assert len(got.pass_seconds) == passes
    for field in ("median", "lower_quartile", "upper_quartile"):
        for want, have in zip(memory[field], got.statistics[field]):
            assert (want, numpy.signbit(want)) == (have, numpy.signbit(have)), field


# Under conventional=True, each variable's robust measures and normality
# test from the parts against memory: the order statistics among them (MAD,
# IQR, percentiles) exactly, the rest within 1e-10, in two passes; short
# columns (Shapiro-Wilk on the gathered values) and long ones (D'Agostino
# from the merged moments, distances beyond a gather), ties at the trim
# bounds and zeros of both signs.
def _long(rng, n):
    z = numpy.where(rng.random(n) < 0.5, -0.0, 0.0)
    z[rng.random(n) < 0.3] = 2.0
    return {"normal": 5 + rng.normal(size=n), "ties": rng.integers(0, 6, n).astype(float),
            "zeros": z, "skewed": rng.gamma(1.5, 2.0, n)}


@pytest.mark.parametrize("rows,parts", [(5000, None), (12000, 7), (90000, 4)])
def test_robust_measures_agree_with_memory(client, rows, parts):
    if parts is None:  # the uneven parts of CUTS, empty and one-row ones among them
        frame = table(rows)
        collection = dask_frame(frame)
    else:
        frame = pandas.DataFrame(_long(numpy.random.default_rng(6), rows))
        collection = dd.from_pandas(frame, npartitions=parts)
    ref = vantor.analyse(frame, components=0, conventional=True)
    got = vantor.dask.analyse(collection, components=0, conventional=True)
    assert len(got.pass_seconds) == 2
    exact = ["mad", "iqr", "percentile_1", "percentile_5", "percentile_95", "percentile_99"]
    assert got.robust[exact].equals(ref.robust[exact])
    near = got.robust.drop(columns=exact), ref.robust.drop(columns=exact)
    assert numpy.allclose(*near, rtol=1e-10, atol=0)
    g, r = got.normality, ref.normality
    assert list(g["method"]) == list(r["method"]) and list(g["untested"]) == list(r["untested"])
    assert numpy.allclose(g["statistic"], r["statistic"], rtol=1e-10, atol=0, equal_nan=True)
    assert numpy.allclose(g["p_value"], r["p_value"], rtol=0, atol=1e-10, equal_nan=True)
