"""vantor.dask.analyse: the analysis of a Dask DataFrame or Array on whatever
scheduler is active. Each partition is summarised where it lives and the
summaries are merged in a tree; the histogram and the exact median and
quartiles take passes of their own. The rows never meet on one worker.
Every number comes from the compiled library (summaries, merging,
histogram counts, finishing); this file only moves them about."""

import operator

import numpy

from . import _vantor
from .frame import _options, _reading_options
from .result import Result

# A key range of at most this many values is gathered and its position
# chosen among them; a larger one is counted again in 4,096 finer ranges.
GATHER_LIMIT = 65536
# What a scan asks of a column's keys in a range (stats/rankparts.h).
COUNT, GATHER, SIGNS = 0, 1, 2
ALL_KEYS = (0, 2 ** 64 - 1)


# --- what runs on the workers -------------------------------------------------

def _block(part):
    """A partition as the passes read it: its rows without those holding a
    missing value, C-ordered float64, and the counts of what was left out
    (rows, then each column's values); an infinity is refused."""
    x = numpy.asarray(part, dtype=numpy.float64)
    if x.ndim != 2:
        raise ValueError("a partition must be 2-D")
    nan = numpy.isnan(x)
    missing = nan.any(axis=1)
    left_out = numpy.concatenate(([missing.sum()], nan.sum(axis=0))).astype(numpy.int64)
    if numpy.isinf(x).any():
        raise ValueError("Infinite value in the table")
    return numpy.ascontiguousarray(x[~missing] if missing.any() else x), left_out


def _scan(part, plan):
    """The answers of the partition's rows to every scan of the plan, in one
    sweep by the library."""
    return _vantor.scan(part, plan) if plan else []


def _merge_answers(a, b):
    """Two parts' answers as one: counts added with the key extremes, values
    and signs joined in partition order, sums added by the library."""
    out = []
    for p, q in zip(a, b):
        if isinstance(p, tuple):
            out.append((p[0] + q[0], min(p[1], q[1]), max(p[2], q[2])))
        elif isinstance(p, dict):
            out.append({"counts": p["counts"] + q["counts"],
                        "sums": _vantor.add_sums(p["sums"], q["sums"])})
        else:
            out.append(numpy.concatenate([p, q]))
    return out


# --- the driver -----------------------------------------------------------------

def _tree(items, combine):
    """Delayed pairwise combination of a list of delayed items."""
    import dask
    items = list(items)
    while len(items) > 1:
        paired = [dask.delayed(combine)(items[i], items[i + 1])
                  for i in range(0, len(items) - 1, 2)]
        if len(items) % 2:
            paired.append(items[-1])
        items = paired
    return items[0]


def _parts(collection, names):
    """(delayed partitions, names, 0-based columns, skipped columns)."""
    import dask.array as da
    import dask.dataframe as dd
    skipped = []
    if isinstance(collection, dd.DataFrame):
        taken = []
        for position, (label, dtype) in enumerate(collection.dtypes.items(), start=1):
            if dtype.kind in "iuf":
                taken.append((position, label))
            else:
                skipped.append((position, str(label)))
        if not taken:
            raise ValueError("Too few variables: the frame has no numeric column")
        frame = collection[[label for _, label in taken]]
        parts = frame.to_delayed()
        found = [label if isinstance(label, str) else "" for _, label in taken]
        columns = [p - 1 for p, _ in taken]
    elif isinstance(collection, da.Array):
        if collection.ndim != 2:
            raise ValueError("The data must be a 2-D array of rows and variables, not %d-D"
                             % collection.ndim)
        if collection.dtype.kind not in "iuf":
            raise TypeError("The array must hold numbers (integers or floats), not %s"
                            % collection.dtype)
        # Whole rows in every block: the parts split the rows only.
        arr = collection.rechunk({1: -1})
        parts = list(arr.to_delayed().ravel())
        found = [""] * arr.shape[1]
        columns = list(range(arr.shape[1]))
    else:
        raise TypeError("collection must be a dask DataFrame or Array, not %s"
                        % type(collection).__name__)
    if names is not None:
        names = [str(n) for n in names]
        if len(names) != len(columns):
            raise ValueError("%d names given for %d variables" % (len(names), len(columns)))
        found = names
    return parts, found, columns, skipped


class _Search:
    """Where the search for one sorted position of one variable stands: the
    position is the rank-th of the `size` values whose keys lie in
    [lo, hi]; `zero` once those are the column's zeros. With a centre, the
    values searched are the distances |x - centre|, never -0."""

    def __init__(self, j, rank, size, centre=None):
        self.j, self.rank, self.size, self.centre = j, rank, size, centre
        self.lo, self.hi = ALL_KEYS
        self.zero, self.value = False, None

    def request(self):
        """The scan this open search asks of every partition next."""
        source = (0, 0.0) if self.centre is None else (1, self.centre)
        if self.zero:
            return (SIGNS, self.j, 0, 0, 0) + source
        if self.size <= GATHER_LIMIT:
            return (GATHER, self.j, self.lo, self.hi, 0) + source
        return (COUNT, self.j, self.lo, self.hi, _vantor.scan_shift(self.lo, self.hi)) + source

    def take(self, scan, answer):
        """Narrows the search by the merged answer to its scan."""
        if scan[0] == SIGNS:
            self.value = -0.0 if answer[self.rank] else 0.0
        elif scan[0] == GATHER:
            self.value = _vantor.value_at_rank(answer, self.rank)
        else:
            counts, least, greatest = answer
            if least != greatest:  # else one key holds them all: settled
                cumulative = numpy.cumsum(counts)
                bucket = int(numpy.searchsorted(cumulative, self.rank, side="right"))
                self.rank -= int(cumulative[bucket - 1]) if bucket else 0
                self.size = int(counts[bucket])
                lo = self.lo + (bucket << scan[4])
                least, greatest = max(lo, least), min(lo + (1 << scan[4]) - 1, self.hi, greatest)
            self.lo, self.hi = least, greatest
            if self.lo == self.hi:
                value = _vantor.key_value(self.lo)
                if value == 0 and self.centre is None:
                    self.zero = True  # which zero: the rank-th in row order
                else:
                    self.value = value


class _Robust:
    """What one variable's robust measures ask of the parts once its order
    statistics are known (conventional=True): each trimmed mean's sums
    between its bounds, the search for the median of the distances from its
    median, and up to SHAPIRO_WILK_MOST rows its values for the normality
    test. The library names the scans, the ranks and the centre."""

    def __init__(self, j, n, values):
        self.sums_scans = [tuple(t) for t in _vantor.trim_scans(n, j, values)]
        centre = _vantor.robust_centre(n, values)
        self.distances = [_Search(j, r, n, centre) for r in _vantor.median_positions(n)]
        few = n <= _vantor.SHAPIRO_WILK_MOST
        self.values_scan = (GATHER, j) + ALL_KEYS + (0, 0, 0.0) if few else None
        self.sums = self.values = None

    def requests(self):
        out = [s.request() for s in self.distances if s.value is None]
        if self.sums is None:
            out += self.sums_scans
        if self.values_scan is not None and self.values is None:
            out.append(self.values_scan)
        return out

    def take(self, got):
        for s in self.distances:
            if s.value is None:
                scan = s.request()
                s.take(scan, got[scan])
        if self.sums is None:
            self.sums = [got[t] for t in self.sums_scans]
        if self.values_scan is not None and self.values is None:
            self.values = got[self.values_scan]

    def trims(self):
        """Each trim's sums as the library's finish takes them."""
        return [(int(a["counts"][0]), int(a["counts"][1]), float(a["sums"][0]),
                 float(a["sums"][1])) for a in self.sums]


class _State:
    """The searches of every variable's sorted positions and, under
    conventional=True, each variable's robust record, begun once its
    positions are known."""

    def __init__(self, searches, n, conventional):
        self.searches, self.n, self.conventional = searches, n, conventional
        self.robust = {}

    def order(self, j):
        return [s.value for s in self.searches if s.j == j]

    def begin(self):
        """Robust records for the variables whose positions are all known."""
        if not self.conventional:
            return
        for j in sorted({s.j for s in self.searches} - set(self.robust)):
            values = self.order(j)
            if None not in values:
                self.robust[j] = _Robust(j, self.n, values)

    def requests(self):
        out = [s.request() for s in self.searches if s.value is None]
        for r in self.robust.values():
            out += r.requests()
        return out

    def take(self, got):
        for s in self.searches:
            if s.value is None:
                scan = s.request()
                s.take(scan, got[scan])
        for r in self.robust.values():
            r.take(got)

    def open(self):
        """Whether a scan is still wanted (begin() follows every take)."""
        return bool(self.requests())


def _plan(state):
    """The scans the open searches ask for, each once."""
    return sorted(set(state.requests()))


def _advance(state, plan, answers):
    """The state narrowed by the merged answers to the plan's scans."""
    import copy
    state = copy.deepcopy(state)
    state.take(dict(zip(plan, answers)))
    state.begin()
    return state


def _rounds(parts, state, count):
    """`count` rounds of the search as one delayed job: each scans every
    partition for the open searches' plan, merges the answers in a tree and
    narrows the searches; a round with nothing open costs a task a part."""
    import dask
    for _ in range(count):
        plan = dask.delayed(_plan)(state)
        answers = _tree([dask.delayed(_scan)(p, plan) for p in parts], _merge_answers)
        state = dask.delayed(_advance)(state, plan, answers)
    return state


# Rounds of the search chained in each pass after the first: the common case
# counts 4,096 finer ranges in the first and gathers in the second. Under
# conventional=True three more: the trimmed sums with the distances' first
# count (and the values of a short column), their finer count, their
# gathering.
ROUNDS_PER_PASS = 2
ROBUST_ROUNDS = 3


def _first_pass(block, first):
    """The first pass over a partition's block: its summary, its rows left
    out for a missing value with each column's missing values, and the
    counts of every column's keys by their top 12 bits."""
    x, left_out = block
    return _vantor.summarise(x), left_out, _vantor.scan(x, first)


def _merge_first(a, b):
    return (_vantor.merge(a[0], b[0]), a[1] + b[1], _merge_answers(a[2], b[2]))


def _histogram(part, lo, hi, bins):
    return _vantor.histogram(part, lo, hi, bins)


def _timed(compute, seconds):
    """compute, with the seconds of each call appended to `seconds`."""
    import time

    def run(*jobs):
        start = time.perf_counter()
        got = compute(*jobs)
        seconds.append(time.perf_counter() - start)
        return got
    return run


def _analyse_parts(blocks, found, columns, skipped, options, name, left_out_extra=None):
    """The analysis of a table whose rows are in blocks (delayed pairs of
    C-ordered rows without missing values and the counts left out).
    The first pass: the summaries, the counts left out and every column's
    keys counted by their top 12 bits. The second: the histogram, and two
    rounds of the median and quartile searches (4,096 finer counts of a
    range too large to gather, then the gathering); under conventional=True
    the searches take the percentiles and trim bounds too, and three more
    rounds follow for the robust measures (_Robust). More passes only while
    a range of more than GATHER_LIMIT values holds several distinct
    values."""
    import dask
    seconds = []
    compute = _timed(dask.compute, seconds)
    m = len(columns)
    first = [(COUNT, j) + ALL_KEYS + (_vantor.scan_shift(*ALL_KEYS), 0, 0.0) for j in range(m)]
    (summary, left_out, first_counts), = compute(
        _tree([dask.delayed(_first_pass)(b, first) for b in blocks], _merge_first))
    parts = [dask.delayed(operator.getitem)(b, 0) for b in blocks]
    if left_out_extra is not None:
        left_out = left_out + left_out_extra
    n = int(summary[1])
    if n == 0:
        raise ValueError("Too few variables")
    lo, hi = list(summary[2:2 + m]), list(summary[2 + m:2 + 2 * m])
    conventional = options["conventional"]
    positions = _vantor.order_positions(n, conventional)
    state = _State([_Search(j, p, n) for j in range(m) for p in positions], n, conventional)
    for s in state.searches:
        s.take(first[s.j], first_counts[s.j])
    state.begin()
    rounds = ROUNDS_PER_PASS + (ROBUST_ROUNDS if conventional else 0)
    bins = options["bins"]
    histogram = _tree([dask.delayed(_histogram)(p, lo, hi, bins) for p in parts], operator.add)
    hist, state = compute(histogram, _rounds(parts, state, rounds))
    while state.open():
        state, = compute(_rounds(parts, state, rounds))
    robust = [state.robust[j] for j in range(m)] if conventional else []
    handle = _vantor.finish(summary, hist, [state.order(j) for j in range(m)], found, columns,
                            skipped, options, name, int(left_out[0]),
                            [int(c) for c in left_out[1:]],
                            trims=[r.trims() for r in robust],
                            distances=[[s.value for s in r.distances] for r in robust],
                            normality_values=[r.values for r in robust if r.values is not None])
    result = Result(handle, name, None)
    result.pass_seconds = seconds
    result.partitions = len(blocks)
    return result


def analyse(collection, *, names=None, name="data", pearson=False, conventional=False,
            components=3, bins=30, missing="listwise", files=()):
    """The analysis of vantor.analyse on a dask.dataframe.DataFrame or a
    dask.array.Array, computed on the active Dask scheduler (a
    distributed.Client, or the local one). Returns a vantor.Result.

    Each partition is converted to rows once and kept where it was loaded
    for the passes (released when the analysis ends), summarised on its
    worker, and the summaries are merged in a tree; counts, extremes,
    histogram counts, median and quartiles are identical to vantor.analyse
    on the same rows, every other number within a relative 1e-10 of it
    (doc/summaries.md). Component scores, the report page with its score
    plot and ".sco"/".std" need the rows and are refused. Under
    conventional=True the result has the divisor n - 1, the tests of the
    correlations, and each variable's robust measures and normality test:
    the MAD, IQR and percentiles identical to memory, the interval of the
    mean, the trimmed means and the test's figures within 1e-10 (Shapiro-
    Wilk on the gathered values up to 5000 rows, D'Agostino's K^2 from the
    merged moments beyond), in the same two passes in the common case.
    Keywords as vantor.analyse; threads does not apply. The result records
    the partition count and the seconds of each pass (partitions,
    pass_seconds).
    """
    import dask
    options = _options(pearson=pearson, conventional=conventional, components=components,
                       bins=bins, threads=None, missing=missing, files=tuple(files), reading={})
    parts, found, columns, skipped = _parts(collection, names)
    blocks = dask.persist(*[dask.delayed(_block)(p) for p in parts])
    return _analyse_parts(list(blocks), found, columns, skipped, options, name)


def _load(path, options):
    """A data file's block (its rows, nothing left out in them) and what
    describes it, the file loaded whole."""
    loaded = _vantor.load_rows(path, options)
    rows = loaded.pop("rows")
    loaded["path"] = path
    return (rows, numpy.zeros(rows.shape[1] + 1, dtype=numpy.int64)), loaded


# A data file is read in parts of about this many bytes, each on a worker.
PART_BYTES = 64 * 2 ** 20


def _plan_file(path, options, part_bytes):
    """What a file's parts share, from its start, and where they lie."""
    return _vantor.plan_file(path, options, part_bytes)


def _load_part(path, options, reading, k):
    """Part k of a file: its rows and what it noted for the replay."""
    return _vantor.load_part(path, options, reading, k)


def _finish(path, options, reading, settled, k, part):
    """Part k of a file as a block and what describes it, once the file's
    parts are settled."""
    loaded = _vantor.finish_part(path, options, reading, settled, k, part)
    rows = loaded.pop("rows")
    loaded["n"], loaded["path"] = rows.shape[0], path
    return (rows, numpy.zeros(rows.shape[1] + 1, dtype=numpy.int64)), loaded


def _load_in_parts(listed, options, part_bytes):
    """The blocks of the files' rows and what describes each block. Each
    file's start is examined once on a worker and the file split at line
    starts; every part is loaded on a worker and kept there. The parts'
    notes, replayed in file order by the library, raise the error the
    program would; then each part is finished (text columns taken out,
    rows with a missing value left out) where it lies. A compressed file,
    or one whose parts only a pass from its start can read, is loaded
    whole."""
    import dask
    readings = dask.compute(*[dask.delayed(_plan_file)(p, options, part_bytes)
                              for p in listed])
    split = [(p, r) for p, r in zip(listed, readings) if not r["whole"]]
    parts = dask.persist(*[dask.delayed(_load_part)(p, options, r, k)
                           for p, r in split for k in range(len(r["parts"]))])
    notes = iter(dask.compute(*[dask.delayed(operator.getitem)(q, "notes") for q in parts]))
    parts = iter(parts)
    jobs, settled, mine = [], [], []
    for path, reading in zip(listed, readings):
        if reading["whole"]:
            jobs.append(dask.delayed(_load)(path, options))
            continue
        count = len(reading["parts"])
        mine = [next(parts) for _ in range(count)]
        s = _vantor.settle_parts(path, options, reading, [next(notes) for _ in range(count)])
        if s["refused"]:
            jobs.append(dask.delayed(_load)(path, options))
            continue
        settled.append((path, reading, s, len(jobs), count))
        jobs += [dask.delayed(_finish)(path, options, reading, s, k, q) for k, q in enumerate(mine)]
    loaded = list(dask.persist(*jobs))
    # A loaded part goes once its block is made: nothing here holds it.
    del parts, mine, jobs
    described = dask.compute(*[dask.delayed(operator.getitem)(l, 1) for l in loaded])
    for path, reading, s, first, count in settled:
        mine = described[first:first + count]
        _vantor.check_rows_left(path, options, reading, s, sum(d["n"] for d in mine),
                                sum(d["rows_left_out"] for d in mine),
                                [sum(c) for c in zip(*[d["missing_cells"] for d in mine])])
    return loaded, described


def _file_list(paths):
    """The data files of a glob, a directory (every file in it, sorted) or a
    list of paths, in that order."""
    import glob
    import os
    if isinstance(paths, (str, os.PathLike)):
        paths = os.fspath(paths)
        if os.path.isdir(paths):
            found = sorted(os.path.join(paths, f) for f in os.listdir(paths)
                           if os.path.isfile(os.path.join(paths, f)))
        else:
            found = sorted(glob.glob(paths)) or [paths]
    else:
        found = [os.fspath(p) for p in paths]
    if not found:
        raise ValueError("No data files in %r" % (paths,))
    return found


def analyse_files(paths, *, name="data", pearson=False, conventional=False, components=3,
                  bins=30, missing="listwise", files=(), csv=False, separator=None,
                  comma_decimals=False, columns=None, skip_columns=None, missing_words=(),
                  header=False, numbers_only=False, part_bytes=PART_BYTES):
    """The analysis of the rows of several data files taken together, read
    by the program's own loader (no pandas parser), kept on the workers for
    the passes and analysed as vantor.dask.analyse analyses partitions.
    `paths` is a glob, a directory or a list of paths; every file must have
    the same columns. Reading keywords as vantor.analyse.

    Each file is split at line starts into parts of about `part_bytes`
    bytes (a smaller file is one part), each loaded on a worker, so that one
    large file is spread over the workers. The file's start is examined
    once (names line, columns, CSV or white space) and every part reads by
    that. A compressed file cannot be entered in the middle and is loaded
    whole on one worker, as is a CSV file whose quoted fields hold line ends
    where a part would start. A file the program cannot read raises its
    error, naming the file and the line in it."""
    import dask
    reading = _reading_options(csv, separator, comma_decimals, columns, skip_columns,
                               list(missing_words), header, numbers_only)
    options = _options(pearson=pearson, conventional=conventional, components=components,
                       bins=bins, threads=None, missing=missing, files=tuple(files),
                       reading=reading)
    listed = _file_list(paths)
    loaded, described = _load_in_parts(listed, options, int(part_bytes))
    head = described[0]
    for d in described:
        if (d["names"], d["columns"]) != (head["names"], head["columns"]):
            raise ValueError("%s: its columns differ from those of %s" % (d["path"], listed[0]))
    blocks = [dask.delayed(operator.getitem)(l, 0) for l in loaded]
    extra = numpy.array([sum(d["rows_left_out"] for d in described)] +
                        [sum(c) for c in zip(*[d["missing_cells"] for d in described])],
                        dtype=numpy.int64)
    return _analyse_parts(blocks, list(head["names"]), list(head["columns"]),
                          [tuple(s) for s in head["skipped"]], options, name, extra)
