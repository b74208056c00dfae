#!/usr/bin/python3
# Benchmarks of the Python package on generated data (nothing here is a
# test): vantor.analyse against pandas and NumPy in one process, with the
# peak memory each adds; vantor.dask.analyse against Dask's describe() and
# corr() and against vantor.analyse in one process; analyse_files against
# the program on the concatenated files and against dd.read_csv with
# vantor.dask.analyse; analyse_files on the one concatenated file, split
# into parts on the workers, against the program on that file. The Dask
# runs use a LocalCluster of two single-threaded workers and report each
# worker's peak memory.
#
# Usage: PYTHONPATH=build/python /usr/bin/python3 bench/python.py inproc [ROWS [COLS]]
#        PYTHONPATH=build/python /usr/bin/python3 bench/python.py dask [ROWS [COLS [PARTS]]]
#        PYTHONPATH=build/python /usr/bin/python3 bench/python.py files [FILES [ROWS [COLS]]]
#        PYTHONPATH=build/python /usr/bin/python3 bench/python.py onefile [FILES [ROWS [COLS [PART_MIB]]]]
# Defaults: 1,000,000 x 20 in process; 10,000,000 x 20 in 20 partitions;
# 20 CSV files of 500,000 x 20 (written once to /tmp/vantor-bench-files,
# the program from build/vantor); the one file is their concatenation
# (10,000,000 x 20), in parts of 64 MiB.
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


def cluster():
    import distributed
    return distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                    dashboard_address=None, silence_logs=50)


def worker_peaks(client):
    """Each worker's peak resident memory so far, in MiB."""
    got = client.run(lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024)
    return " ".join("%.0f" % v for v in got.values())


def dask_bench(rows, cols, parts):
    import dask.array as da
    import dask.dataframe as dd
    import distributed
    import vantor
    import vantor.dask
    with cluster() as c, distributed.Client(c) as client:
        arr = da.random.RandomState(1).standard_normal((rows, cols), chunks=(rows // parts, cols))
        frame = dd.from_dask_array(arr, columns=["v%d" % j for j in range(cols)]).persist()
        distributed.wait(frame)
        held = frame.memory_usage(deep=True).sum().compute() / 2**20 / 2
        result = []
        t_vantor = timed(lambda: result.append(vantor.dask.analyse(frame, components=3)))
        t_conv = timed(lambda: result.append(vantor.dask.analyse(frame, components=3,
                                                                 conventional=True)))
        peaks = worker_peaks(client)
        t_dask = timed(lambda: (frame.describe().compute(), frame.corr().compute()))
        x = frame.to_dask_array(lengths=True).compute()
        client.close()
    t_inproc = timed(lambda: vantor.analyse(x, components=3, threads=2))
    r = result[0]
    goal = 1.5 * t_inproc / 2 + 5
    print("Dask, %d x %d in %d partitions, LocalCluster of 2 workers" % (rows, cols, parts))
    print("  vantor.dask.analyse (exact quartiles) %.2f s in %s" % (t_vantor, passes_text(r)))
    c = result[1]
    print("  ... conventional=True (robust, normality) %.2f s in %s" % (t_conv, passes_text(c)))
    print("  describe() + corr() (approximate)     %.2f s (ratio %.1f, goal >= 5)"
          % (t_dask, t_dask / t_vantor))
    print("  vantor.analyse in process, 2 threads  %.2f s (goal for Dask <= %.2f s)"
          % (t_inproc, goal))
    print("  worker peak memory %s MiB, about %.0f MiB of partitions each" % (peaks, held))


def files_directory(files, rows, cols):
    """Where the files of one shape are kept: another shape gets its own."""
    return "/tmp/vantor-bench-files/%dx%dx%d" % (files, rows, cols)


def write_files(where, files, rows, cols):
    """`files` CSV files of rows x cols with a names line, written once."""
    import os
    import numpy
    os.makedirs(where, exist_ok=True)
    paths = [os.path.join(where, "part%02d.csv" % k) for k in range(files)]
    names = ",".join("v%d" % j for j in range(cols)) + "\n"
    for k, path in enumerate(paths):
        if os.path.exists(path):
            continue
        x = table(rows, cols, seed=k + 1)
        with open(path + ".tmp", "w") as f:
            f.write(names)
            numpy.savetxt(f, x, fmt="%.6g", delimiter=",")
        os.replace(path + ".tmp", path)
    whole = os.path.join(where, "whole.csv")
    if not os.path.exists(whole):
        with open(whole + ".tmp", "w") as out:
            out.write(names)
            for path in paths:
                with open(path) as f:
                    f.readline()
                    out.write(f.read())
        os.replace(whole + ".tmp", whole)
    return paths, whole


def program_seconds(where, whole):
    """The command line's seconds on the concatenated file, two threads."""
    import os
    program = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build", "vantor")
    return timed(lambda: subprocess.run(
        [program, whole, "--csv", "--names", "--threads=2", "-e3", "--quiet"],
        cwd=where, check=True, capture_output=True))


def files_run(client, target, **keywords):
    """analyse_files of the bench's CSV files: its seconds, its result and
    each worker's peak memory after it."""
    import vantor.dask
    result = []
    seconds = timed(lambda: result.append(vantor.dask.analyse_files(
        target, csv=True, header=True, components=3, **keywords)))
    return seconds, result[0], worker_peaks(client)


def passes_text(r):
    return "%d passes (%s)" % (len(r.pass_seconds), " ".join("%.2f" % t for t in r.pass_seconds))


def files_bench(files, rows, cols):
    import os
    import dask.dataframe as dd
    import distributed
    import vantor.dask
    where = files_directory(files, rows, cols)
    paths, whole = write_files(where, files, rows, cols)
    t_program = program_seconds(where, whole)
    with cluster() as c, distributed.Client(c) as client:
        t_files, r, peaks = files_run(client, paths)
        t_read = timed(lambda: vantor.dask.analyse(dd.read_csv(paths), components=3))
        client.close()
    size = sum(os.path.getsize(p) for p in paths) / 2**20
    print("%d CSV files of %d x %d (%.0f MiB), LocalCluster of 2 workers" % (files, rows, cols, size))
    print("  vantor.dask.analyse_files             %.2f s in %s" % (t_files, passes_text(r)))
    print("  the program, concatenated, 2 threads  %.2f s (goal for files <= %.2f s)"
          % (t_program, 1.5 * t_program + 5))
    print("  dd.read_csv + vantor.dask.analyse     %.2f s (ratio %.1f, goal >= 5)"
          % (t_read, t_read / t_files))
    print("  worker peak memory after analyse_files %s MiB, about %.0f MiB of rows each"
          % (peaks, files * rows * cols * 8 / 2**20 / 2))


def onefile_bench(files, rows, cols, part_mib):
    import os
    import distributed
    where = files_directory(files, rows, cols)
    _, whole = write_files(where, files, rows, cols)
    t_program = program_seconds(where, whole)
    with cluster() as c, distributed.Client(c) as client:
        t_files, r, peaks = files_run(client, whole, part_bytes=part_mib * 2**20)
        client.close()
    size = os.path.getsize(whole) / 2**20
    print("one CSV file of %d x %d (%.0f MiB), LocalCluster of 2 workers" % (files * rows, cols, size))
    print("  vantor.dask.analyse_files, %d parts    %.2f s in %s"
          % (r.partitions, t_files, passes_text(r)))
    print("  the program, 2 threads                %.2f s (ratio %.2f)"
          % (t_program, t_files / t_program))
    print("  worker peak memory after analyse_files %s MiB, about %.0f MiB of rows each"
          % (peaks, files * rows * cols * 8 / 2**20 / 2))


if __name__ == "__main__":
    args = sys.argv[1:] or ["inproc"]
    if args[0] == "inproc":
        inproc(*(int(a) for a in (args[1:] + ["1000000", "20"][len(args) - 1:])))
    elif args[0] == "peak":
        peak(args[1], int(args[2]), int(args[3]))
    elif args[0] == "dask":
        dask_bench(*(int(a) for a in (args[1:] + ["10000000", "20", "20"][len(args) - 1:])))
    elif args[0] == "files":
        files_bench(*(int(a) for a in (args[1:] + ["20", "500000", "20"][len(args) - 1:])))
    elif args[0] == "onefile":
        onefile_bench(*(int(a) for a in (args[1:] + ["20", "500000", "20", "64"][len(args) - 1:])))
    else:
        sys.exit(__doc__)
