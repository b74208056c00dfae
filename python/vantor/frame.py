"""vantor.analyse: turns what the caller hands over (array, DataFrame or a
path) and the keywords into the module's inputs. Computes nothing itself:
every number comes from the compiled library."""

import os
import warnings

import numpy

from . import _vantor
from .result import Result


def _options(*, pearson, components, bins, threads, missing, files, reading, conventional=False,
             use="complete", by=None, group_limit=None, rank=None, ci=None, rotate=None):
    """The library's options of the keywords, as a dict of the option
    record's fields (the compiled module checks them as the command line
    checks its switches)."""
    if missing != "listwise":
        raise ValueError("missing must be 'listwise' (rows with a missing value are left out; "
                         "use='pairwise' takes each statistic over the values present)")
    for key, value in (("components", components), ("bins", bins)):
        if isinstance(value, bool) or not isinstance(value, int) or value < 0:
            raise ValueError("%s must be a whole number >= 0" % key)
    if bins < 1:
        raise ValueError("bins must be at least 1")
    if use not in ("complete", "pairwise"):
        raise ValueError("use must be 'complete' or 'pairwise', not %r" % (use,))
    out = dict(components=components, bins=bins, pearson=bool(pearson),
               conventional=bool(conventional), use=use)
    if threads is not None:
        out["threads"] = int(threads)
    if by is not None:
        out["by"] = str(by)
    if group_limit is not None:
        out["group_limit"] = int(group_limit)
    if rank is not None:
        out["rank"] = str(rank)
    if ci is not None:
        out["ci"] = float(ci)
    if rotate is not None:
        out["rotate"] = str(rotate)
    for f in files:
        if f not in _FILE_OPTIONS:
            raise ValueError("unknown result file %r (one of %s)" % (f, ", ".join(_FILE_OPTIONS)))
        out[_FILE_OPTIONS[f]] = True
    out.update(reading)
    return out


# Result files beyond the default ".mvd" and ".inp", by extension.
_FILE_OPTIONS = {"std": "stddev", "cor": "correlation", "cov": "covariance", "his": "histogram",
                 "fsc": "fsc_file", "da1": "oldtetrad", "json": "json", "html": "report"}


def _reading_options(csv, separator, comma_decimals, columns, skip_columns, missing_words,
                     header, numbers_only):
    """The reading options of a data file."""
    out = {}
    if csv:
        out["csv"] = True
    if separator is not None:
        out["separator"] = "\t" if separator in ("tab", "\\t") else str(separator)
    if comma_decimals:
        out["comma_decimals"] = True
    if columns is not None:
        out["columns"] = ",".join(str(c) for c in columns)
    if skip_columns is not None:
        out["skip_columns"] = ",".join(str(c) for c in skip_columns)
    if missing_words:
        out["missing_words"] = [str(w) for w in missing_words]
    if header:
        out["header"] = True
    if numbers_only:
        out["numbers_only"] = True
    return out


def _frame_columns(frame, exclude=()):
    """The analysed columns of a DataFrame (numbers: integers and floats) and
    those left out as text, with their 1-based positions; the group and
    label columns in `exclude` are neither."""
    taken, skipped = [], []
    for position, (label, dtype) in enumerate(frame.dtypes.items(), start=1):
        if label in exclude:
            continue
        if dtype.kind in "iuf":
            taken.append((position, label))
        else:
            skipped.append((position, str(label)))
    return taken, skipped


def _array_of(data, names, exclude=()):
    """(float64 2-D array, names, 1-based columns, skipped columns) of an
    array or a DataFrame; a C-ordered float64 array goes through as it is."""
    try:
        import pandas
    except ImportError:  # pragma: no cover - pandas is a dependency
        pandas = None
    skipped = []
    if pandas is not None and isinstance(data, pandas.DataFrame):
        if data.shape[1] == 0 or data.shape[0] == 0:
            raise ValueError("Too few variables: the frame is empty")
        taken, skipped = _frame_columns(data, exclude)
        if not taken:
            raise ValueError("Too few variables: the frame has no numeric column")
        # Nullable integer and float columns (Int64, Float64) hold <NA>
        # where a value is missing: NaN here, as an empty cell in a file.
        array = data.iloc[:, [p - 1 for p, _ in taken]].to_numpy(dtype=numpy.float64,
                                                                  na_value=numpy.nan)
        # Labels that are not text (a frame made without labels, or read
        # with header=None, has 0, 1, ...) leave a variable unnamed, as a
        # data file without a names line.
        found = [label if isinstance(label, str) else "" for _, label in taken]
        columns = [p for p, _ in taken]
    elif isinstance(data, numpy.ndarray):
        if data.dtype.kind not in "iuf":
            raise TypeError("The array must hold numbers (integers or floats), not %s" % data.dtype)
        if data.ndim != 2:
            raise ValueError("The data must be a 2-D array of rows and variables, not %d-D"
                             % data.ndim)
        array = data if data.dtype == numpy.float64 else data.astype(numpy.float64)
        found = [""] * array.shape[1]
        columns = list(range(1, array.shape[1] + 1))
    else:
        raise TypeError("data must be a NumPy array, a pandas DataFrame or a path, not %s"
                        % type(data).__name__)
    if names is not None:
        names = [str(n) for n in names]
        if len(names) != len(columns):
            raise ValueError("%d names given for %d variables" % (len(names), len(columns)))
        found = names
    return array, found, columns, skipped


def analyse(data, *, names=None, name=None, pearson=False, conventional=False, use="complete",
            by=None, group_limit=None, rank=None, ci=None, rotate=None, components=3, bins=30,
            threads=None,
            missing="listwise", files=(), csv=False, separator=None, comma_decimals=False,
            columns=None, skip_columns=None, missing_words=(), header=False, numbers_only=False):
    """Analyse a table as the command line does and return a Result.

    data        a 2-D NumPy array of numbers (C or Fortran order; a C-ordered
                float64 array without NaN is read in place, not copied), a
                pandas DataFrame (integer and float columns analysed, the others
                left out as text columns) or a path to a data file. NaN is a
                missing value: the row is left out, as with an empty CSV cell.
    names       variable names (one per analysed column); default the frame's
                column labels or the file's names line.
    name        names the results for to_html and write; default the file's
                stem for a path, else "data".
    pearson     Pearson's r as the correlation (--pearson).
    conventional
                the statistics packages' definitions (--conventional).
    use         "complete" (rows with a missing value left out) or "pairwise"
                (each statistic over the values present: --use=pairwise).
    by          a column whose values group the rows (--by=COLUMN): for a
                DataFrame the column's label (any dtype), for a file its name
                or number; each group is analysed too (Result.groups).
    group_limit most groups `by` may make (--group-limit=N).
    rank        "spearman" or "kendall": that rank correlation as the
                correlation (--rank=METHOD).
    ci          with conventional: the intervals' confidence level (--ci=LEVEL).
    rotate      with conventional and components: "varimax" or "promax", the
                rotation of the scored components' loadings (--rotate=METHOD).
    components  -eN: N scores; 0 for no eigen analysis.
    bins        histogram bins (-hB when not 30, which also writes ".his").
    threads     worker threads (--threads=N); default as the command line.
    missing     "listwise" (the only rule): rows with a missing value are left out.
    files       extra result files for write(): any of std, cor, cov, his,
                fsc, da1, json, html.
    csv, separator, comma_decimals, columns, skip_columns, missing_words,
    header, numbers_only
                reading options of a data file: --csv, --separator=C,
                --comma-decimals, --columns=LIST, --skip-columns=LIST,
                --missing=WORD, --names, --numbers-only.

    Raises ValueError (with the command line's message where it has one)
    or TypeError for input it cannot analyse.
    """
    reading = _reading_options(csv, separator, comma_decimals, columns, skip_columns,
                               list(missing_words), header, numbers_only)
    if isinstance(data, (str, os.PathLike)):
        options = _options(pearson=pearson, components=components, bins=bins, threads=threads,
                           missing=missing, files=tuple(files), reading=reading,
                           conventional=conventional, use=use, by=by, group_limit=group_limit,
                           rank=rank, ci=ci, rotate=rotate)
        path = os.fspath(data)
        handle = _vantor.analyse_file(path, options)
        if name is None:
            name = os.path.splitext(os.path.basename(path))[0] or "data"
        return Result(handle, name, names)
    if reading:
        raise ValueError("reading options apply to data files only")
    options = _options(pearson=pearson, components=components, bins=bins, threads=threads,
                       missing=missing, files=tuple(files), reading={},
                       conventional=conventional, use=use, group_limit=group_limit,
                       rank=rank, ci=ci, rotate=rotate)
    group_values, group_column = [], ""
    if by is not None:
        group_values, group_column = _group_values(data, by)
    labels, label_column = _row_labels(data)
    exclude = [c for c in (by, label_column) if c is not None]
    array, found, cols, skipped = _array_of(data, names, exclude)
    if name is None:
        name = "data"
    handle = _vantor.analyse_array(array, found, [c - 1 for c in cols], skipped, labels,
                                   group_values, group_column, options, name)
    return Result(handle, name, None)


def _row_labels(data):
    """(row labels, the column holding them or None): a DataFrame's index when it is not the plain
    0, 1, ... of a frame made without one, as a data file's label column.
    A frame read from pandas' own CSV without index_col holds that index
    as its first column, "Unnamed: 0" with 0 .. n-1: it is taken as the
    labels, with a warning, rather than analysed as a variable."""
    import pandas
    if not isinstance(data, pandas.DataFrame) or data.shape[0] == 0:
        return [], None
    first = data.columns[0] if data.shape[1] else None
    if first == "Unnamed: 0" and data[first].dtype.kind in "iu" and \
            (data[first].to_numpy() == numpy.arange(data.shape[0])).all():
        warnings.warn("column 'Unnamed: 0' holds 0 .. n-1, the index pandas writes: "
                      "taken as the row labels, not as a variable (read with index_col=0)")
        return [str(v) for v in data[first]], first
    index = data.index
    plain = isinstance(index, pandas.RangeIndex) and index.start == 0 and index.step == 1
    if plain:
        return [], None
    return [str(v) for v in index], None


def _group_values(data, by):
    """The group column's values as text (a missing one as "": no group)
    and the column's name."""
    import pandas
    if not isinstance(data, pandas.DataFrame):
        raise ValueError("by applies to a DataFrame or a data file")
    if by not in data.columns:
        raise ValueError("by: no column %r" % (by,))
    column = data[by]
    values = ["" if pandas.isna(v) else _group_text(v) for v in column]
    return values, str(by)


def _group_text(value):
    """A group value as the command line writes it: numbers in their shortest
    form (4, not 4.0), text as it stands."""
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return str(value)
