"""vantor.dask.analyse: the analysis of a Dask DataFrame or Array on whatever
scheduler is active. Each partition is summarised where it lives and the
summaries are merged in a tree; the histogram and the exact median and
quartiles take passes of their own. The rows never meet on one worker.
Every number comes from the compiled library (summaries, merging,
histogram counts, finishing); this file only moves them about."""

import operator

import numpy

from . import _vantor
from .frame import _options
from .result import Result

# A bucket of at most this many values is gathered and sorted to settle the
# ranks in it; a larger one is counted again on the next digit.
GATHER_LIMIT = 65536


# --- what runs on the workers -------------------------------------------------

def _rows(part):
    """A partition as C-ordered float64 rows without the rows holding a
    missing value; an infinity is refused."""
    x = numpy.ascontiguousarray(numpy.asarray(part, dtype=numpy.float64))
    if x.ndim != 2:
        raise ValueError("a partition must be 2-D")
    if numpy.isinf(x).any():
        raise ValueError("Infinite value in the table")
    missing = numpy.isnan(x).any(axis=1)
    return numpy.ascontiguousarray(x[~missing]) if missing.any() else x


def _summarise(part):
    return _vantor.summarise(_rows(part))


def _merge(a, b):
    return _vantor.merge(a, b)


def _left_out(part):
    """The rows holding a missing value, then each column's missing values."""
    x = numpy.asarray(part, dtype=numpy.float64)
    if x.ndim != 2:
        raise ValueError("a partition must be 2-D")
    nan = numpy.isnan(x)
    return numpy.concatenate(([nan.any(axis=1).sum()], nan.sum(axis=0))).astype(numpy.int64)


def _count_pass(part, lo, hi, bins, searches):
    """One pass over a partition: its histogram counts and, for every
    search (variable, known bits, prefix), the counts of the next digit of
    the keys with that prefix (the library keys the values)."""
    x = _rows(part)
    counts = _vantor.histogram(x, lo, hi, bins) if bins else None
    return counts, _vantor.digit_counts(x, searches)


def _gather(part, searches):
    """The values of each search's bucket in the partition, in row order."""
    return _vantor.bucket_values(_rows(part), searches)


def _zero_signs(part, j):
    """The zeros of column j of the partition in row order (1 for -0)."""
    return _vantor.zero_signs(_rows(part), j)


def _add_counts(a, b):
    hist = a[0] + b[0] if a[0] is not None else None
    return hist, [p + q for p, q in zip(a[1], b[1])]


def _join_gathered(a, b):
    return [numpy.concatenate([p, q]) for p, q in zip(a, b)]


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
    """Where the search for one sorted position of one variable stands."""

    def __init__(self, j, rank):
        self.j, self.rank, self.known, self.prefix, self.value = j, rank, 0, 0, None
        self.zero_rank = None

    def key(self):
        return (self.j, self.known, self.prefix)


def _order_values(parts, searches, first_counts, compute):
    """Settles every search: counts digit by digit until its bucket is small
    enough to gather (or its key is known whole), then selects in the
    gathered bucket."""
    import dask
    counts = first_counts
    while True:
        for s in searches:
            if s.value is not None:
                continue
            c = counts[s.key()]
            cumulative = numpy.cumsum(c)
            digit = int(numpy.searchsorted(cumulative, s.rank, side="right"))
            below = int(cumulative[digit - 1]) if digit else 0
            width = _vantor.digit_bits(s.known)
            s.rank -= below
            s.prefix = (s.prefix << width) | digit
            s.known += width
            s.size = int(c[digit])
            if s.known == 64:
                s.value = _vantor.key_value(s.prefix)
                if s.value == 0:
                    s.zero_rank = s.rank  # the bucket is the column's zeros
        open_ = [s for s in searches if s.value is None]
        if not open_:
            return _settle_zeros(parts, searches, compute)
        gather = sorted({s.key() for s in open_ if s.size <= GATHER_LIMIT})
        count = sorted({s.key() for s in open_ if s.size > GATHER_LIMIT})
        jobs = []
        if gather:
            jobs.append(_tree([dask.delayed(_gather)(p, gather) for p in parts], _join_gathered))
        if count:
            jobs.append(_tree([dask.delayed(_count_pass)(p, None, None, 0, count) for p in parts],
                              _add_counts))
        got = list(compute(*jobs))
        if gather:
            values = dict(zip(gather, got.pop(0)))
            for s in open_:
                if s.key() in values:
                    s.value = float(numpy.sort(values[s.key()], kind="stable")[s.rank])
        counts = dict(zip(count, got.pop(0)[1])) if count else {}


def _settle_zeros(parts, searches, compute):
    """A position found among a column's zeros holds the zero of that rank
    in row order: one more pass over the columns concerned."""
    import dask
    columns = sorted({s.j for s in searches if s.zero_rank is not None})
    if not columns:
        return
    got = compute(*[[dask.delayed(_zero_signs)(p, j) for p in parts] for j in columns])
    signs = {j: numpy.concatenate(g) for j, g in zip(columns, got)}
    for s in searches:
        if s.zero_rank is not None:
            s.value = -0.0 if signs[s.j][s.zero_rank] else 0.0


def analyse(collection, *, names=None, name="data", pearson=False, components=3, bins=30,
            missing="listwise", files=()):
    """The analysis of vantor.analyse on a dask.dataframe.DataFrame or a
    dask.array.Array, computed on the active Dask scheduler (a
    distributed.Client, or the local one). Returns a vantor.Result.

    Each partition is summarised on a worker and the summaries are merged
    in a tree; counts, extremes, histogram counts, median and quartiles are
    identical to vantor.analyse on the same rows, every other number within
    a relative 1e-10 of it (doc/summaries.md). Component scores, the
    report page with its score plot and ".sco"/".std" need the rows and are
    refused. Keywords as vantor.analyse; threads does not apply.
    """
    import dask
    options = _options(pearson=pearson, components=components, bins=bins, threads=None,
                       missing=missing, files=tuple(files), reading={})
    parts, found, columns, skipped = _parts(collection, names)
    compute = dask.compute

    summary, left_out = compute(_tree([dask.delayed(_summarise)(p) for p in parts], _merge),
                                _tree([dask.delayed(_left_out)(p) for p in parts],
                                      operator.add))
    m, n = int(summary[0]), int(summary[1])
    if n == 0:
        raise ValueError("Too few variables")
    lo, hi = list(summary[2:2 + m]), list(summary[2 + m:2 + 2 * m])
    positions = _vantor.order_positions(n)
    searches = [_Search(j, p) for j in range(m) for p in positions]
    first = sorted({s.key() for s in searches})
    (hist, digit_counts), = compute(_tree(
        [dask.delayed(_count_pass)(p, lo, hi, bins, first) for p in parts], _add_counts))
    _order_values(parts, searches, dict(zip(first, digit_counts)), compute)
    order = [[s.value for s in searches if s.j == j] for j in range(m)]
    handle = _vantor.finish(summary, hist, order, found, columns, skipped, options, name,
                            int(left_out[0]), [int(c) for c in left_out[1:]])
    return Result(handle, name, None)
