#!/usr/bin/python3
# Benchmarks of the Python package on generated data (nothing here is a
# test): vantor.analyse against pandas and NumPy in one process, with the
# peak memory each adds, and vantor.dask.analyse against Dask's describe()
# and corr() on a LocalCluster of two workers.
#
# Usage: PYTHONPATH=build/python /usr/bin/python3 bench/python.py inproc [ROWS [COLS]]
#        PYTHONPATH=build/python /usr/bin/python3 bench/python.py dask [ROWS [COLS [PARTS]]]
# Defaults: 1,000,000 x 20 in process; 20,000,000 x 20 in 40 partitions.
import resource
import subprocess
import sys
import time


def peak_mib():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def table(rows, cols, seed=1):
    import numpy
    rng = numpy.random.default_rng(seed)
    x = numpy.empty((rows, cols))
    rng.standard_normal(out=x)  # in place, so that the peak is the table
    x[:, 1:] += 0.5 * x[:, :1]  # some correlation for the components
    return x


def timed(job):
    start = time.perf_counter()
    job()
    return time.perf_counter() - start


def pandas_way(df):
    import numpy
    df.describe()
    df.skew()
    df.kurt()
    df.cov()
    numpy.linalg.eigh(df.corr().to_numpy())


def inproc(rows, cols):
    import pandas
    import vantor
    df = pandas.DataFrame(table(rows, cols), columns=["v%d" % j for j in range(cols)])
    vantor.analyse(df.iloc[:1000])  # warm up
    t_vantor = min(timed(lambda: vantor.analyse(df, components=3)) for _ in range(3))
    t_pandas = min(timed(lambda: pandas_way(df)) for _ in range(3))
    print("in process, %d x %d float64 DataFrame" % (rows, cols))
    print("  vantor.analyse(df, components=3)      %.3f s" % t_vantor)
    print("  describe+skew+kurt+cov+corr+eigh      %.3f s" % t_pandas)
    print("  ratio                                 %.2f (goal <= 0.25)" % (t_vantor / t_pandas))
    # Peak memory added by one analysis, each in a fresh process.
    for what in ("array", "frame"):
        out = subprocess.run([sys.executable, __file__, "peak", what, str(rows), str(cols)],
                             capture_output=True, text=True, check=True).stdout
        print("  peak extra memory, %-6s %s" % (what, out.strip()))


def peak(what, rows, cols):
    import pandas
    import vantor
    x = table(rows, cols)
    data = x if what == "array" else pandas.DataFrame(x)
    import gc
    gc.collect()
    before = peak_mib()
    vantor.analyse(data, components=3)
    after = peak_mib()
    print("%.0f MiB over a %.0f MiB table (peak before %.0f MiB)"
          % (max(0.0, after - before), x.nbytes / 2**20, before))


def dask_bench(rows, cols, parts):
    import dask.array as da
    import dask.dataframe as dd
    import distributed
    import vantor.dask
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None, silence_logs=50) as cluster, \
            distributed.Client(cluster) as client:
        arr = da.random.RandomState(1).standard_normal((rows, cols), chunks=(rows // parts, cols))
        frame = dd.from_dask_array(arr, columns=["v%d" % j for j in range(cols)]).persist()
        distributed.wait(frame)
        t_vantor = timed(lambda: vantor.dask.analyse(frame, components=3))
        t_dask = timed(lambda: (frame.describe().compute(), frame.corr().compute()))
        print("Dask, %d x %d in %d partitions, LocalCluster of 2 workers" % (rows, cols, parts))
        print("  vantor.dask.analyse (exact quartiles) %.2f s" % t_vantor)
        print("  describe() + corr() (approximate)     %.2f s" % t_dask)
        client.close()


if __name__ == "__main__":
    args = sys.argv[1:] or ["inproc"]
    if args[0] == "inproc":
        inproc(*(int(a) for a in (args[1:] + ["1000000", "20"][len(args) - 1:])))
    elif args[0] == "peak":
        peak(args[1], int(args[2]), int(args[3]))
    elif args[0] == "dask":
        dask_bench(*(int(a) for a in (args[1:] + ["20000000", "20", "40"][len(args) - 1:])))
    else:
        sys.exit(__doc__)
