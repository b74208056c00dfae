"""The result object of vantor.analyse and vantor.dask.analyse: the library's
record of one analysed table seen as pandas objects, and its documents and
result files, written by the library's own writers."""

import os

import numpy
import pandas

# The columns of Result.statistics, in the order the module hands them over.
STATISTICS = ["mean", "variance", "standard_deviation", "minimum", "maximum", "skewness",
              "curtosis", "median", "lower_quartile", "upper_quartile"]

# The columns of Result.robust (conventional=True), in the module's order.
ROBUST = ["standard_error", "mean_low", "mean_high", "trimmed_mean_10", "trimmed_mean_20", "mad",
          "iqr", "percentile_1", "percentile_5", "percentile_95", "percentile_99"]


class Result:
    """One analysed table. Its numbers are the command line's for the same
    data and switches.

    statistics            DataFrame indexed by variable: mean, variance (n - 1),
                          standard deviation, minimum, maximum, skewness,
                          curtosis (excess), median and quartiles
    covariance            DataFrame (divisor n)
    correlation           DataFrame (covariance over the n - 1 deviations, or
                          Pearson's r with pearson=True)
    robust                with conventional=True: DataFrame indexed by variable:
                          standard error, t interval of the mean, trimmed
                          means, MAD, IQR and percentiles (else None)
    normality             with conventional=True: DataFrame indexed by variable:
                          method (shapiro_wilk up to 5000 values, else
                          dagostino), statistic, p_value and why a variable
                          is untested (else None)
    group_tests           with by= and conventional=True, on the whole
                          table's result: DataFrame indexed by variable:
                          groups, count, Welch's test (welch_method t or F),
                          the classical F (anova), Kruskal-Wallis, Brown-
                          Forsythe, each as _statistic, _df1/_df2 (or _df)
                          and _p, then eta_squared and cohen_d (else None)
    correlation_tests     with conventional=True: DataFrame indexed by the
                          pairs (variable, other) above the diagonal: pairs,
                          p_value, p_holm, p_bh and, for Pearson's r, the
                          interval (else None)
    sampling_adequacy     with conventional=True: Series indexed by measure: n,
                          Bartlett's chi-square, df and p-value, KMO (else None;
                          NaN where the matrix allows none, adequacy_reason
                          says why)
    msa                   with conventional=True: Series of each variable's
                          measure of sampling adequacy (else None)
    rotated_loadings      with rotate=: DataFrame, variables by rotated
                          components RC1 ... RCk (else None; rotation_reason
                          says why a rotation is None)
    rotation_matrix       with rotate=: DataFrame, components PC1 ... PCk by
                          RC1 ... RCk: rotated = loadings[PC1..PCk] @ matrix
    rotated_variance      with rotate=: DataFrame indexed by measure (variance:
                          sum of squared loadings, proportion: variance / m)
    histogram_counts      DataFrame, one row per bin
    histogram_edges       DataFrame, B + 1 edges per variable
    eigenvalues, explained (percent), loadings, score_coefficients, and
    scores(count)         with components > 0, in descending eigenvalue order
    groups                with by=: {group value: Result of its rows}, in order
                          of first appearance (their documents and files are
                          the whole table's: to_json, to_html and write of
                          this result hold them)
    n, m, rows_left_out, name, log (what the run said)

    A result made from a C-ordered float64 array without NaN reads that
    array in place: change the array and scores() and write() change too.
    """

    def __init__(self, handle, name, names=None):
        self._h = handle
        self.name = name
        labels = list(names) if names is not None else None
        if labels is not None and len(labels) != handle.m:
            raise ValueError("%d names given for %d variables" % (len(labels), handle.m))
        if labels is None:
            found = handle.names
            columns = handle.columns
            labels = [found[k] if k < len(found) and found[k] else str(columns[k] + 1)
                      for k in range(handle.m)]
        self.variables = pandas.Index(labels, name="variable")

    n = property(lambda self: self._h.n, doc="observations analysed")
    m = property(lambda self: self._h.m, doc="variables analysed")
    rows_left_out = property(lambda self: self._h.rows_left_out,
                             doc="rows left out for a missing value")
    log = property(lambda self: self._h.log, doc="the lines the run said")

    @property
    def groups(self):
        """{group value: Result} with by=, else empty."""
        out = {}
        for value, handle in self._h.groups:
            r = Result.__new__(Result)
            r._h, r.name, r.variables = handle, "%s.%s" % (self.name, value), self.variables
            out[value] = r
        return out

    @property
    def statistics(self):
        return pandas.DataFrame(self._h.statistics(), index=self.variables, columns=STATISTICS)

    @property
    def covariance(self):
        return pandas.DataFrame(self._h.covariance(), index=self.variables, columns=self.variables)

    @property
    def correlation(self):
        return pandas.DataFrame(self._h.correlation(), index=self.variables,
                                columns=self.variables)

    @property
    def robust(self):
        rows = self._h.robust()
        if rows.shape[0] == 0:
            return None
        return pandas.DataFrame(rows, index=self.variables, columns=ROBUST)

    @property
    def normality(self):
        tests = self._h.normality()
        if not tests:
            return None
        return pandas.DataFrame({key: numpy.ravel(column) if not isinstance(column, list)
                                 else column for key, column in tests.items()},
                                index=self.variables)

    @property
    def group_tests(self):
        tests = self._h.group_tests()
        if not tests:
            return None
        frame = pandas.DataFrame({key: numpy.ravel(column) if not isinstance(column, list)
                                  else column for key, column in tests.items()},
                                 index=self.variables)
        return frame.astype({"groups": "int64", "count": "int64"})

    @property
    def correlation_tests(self):
        tests = self._h.pair_tests()
        if not tests:
            return None
        upper = numpy.triu_indices(self.m, 1)
        index = pandas.MultiIndex.from_arrays(
            [self.variables[upper[0]], self.variables[upper[1]]], names=["variable", "other"])
        frame = pandas.DataFrame({key: matrix[upper] for key, matrix in tests.items()}, index=index)
        frame["pairs"] = frame["pairs"].astype("int64")
        return frame

    @property
    def sampling_adequacy(self):
        q = self._h.sampling_adequacy()
        if q is None:
            return None
        keys = ["n", "bartlett_chi_square", "bartlett_df", "bartlett_p_value", "kmo"]
        return pandas.Series([float(q[k]) for k in keys],
                             index=pandas.Index(keys, name="measure"), name="sampling_adequacy")

    @property
    def msa(self):
        q = self._h.sampling_adequacy()
        return None if q is None else pandas.Series(q["msa"][0], index=self.variables, name="msa")

    @property
    def adequacy_reason(self):
        """Why sampling_adequacy is NaN, or None."""
        q = self._h.sampling_adequacy()
        return None if q is None else q["reason"]

    def _rotated(self):
        r = self._h.rotation()
        return None if r is None or r["reason"] is not None else r

    def _rotated_names(self, count):
        return pandas.Index(["RC%d" % (u + 1) for u in range(count)], name="rotated")

    @property
    def rotated_loadings(self):
        r = self._rotated()
        if r is None:
            return None
        return pandas.DataFrame(r["loadings"], index=self.variables,
                                columns=self._rotated_names(r["components"]))

    @property
    def rotation_matrix(self):
        r = self._rotated()
        if r is None:
            return None
        k = r["components"]
        return pandas.DataFrame(r["matrix"], index=self._component_names(k),
                                columns=self._rotated_names(k))

    @property
    def rotated_variance(self):
        r = self._rotated()
        if r is None:
            return None
        return pandas.DataFrame(numpy.vstack([r["variance"], r["proportion"]]),
                                index=pandas.Index(["variance", "proportion"], name="measure"),
                                columns=self._rotated_names(r["components"]))

    @property
    def rotation_reason(self):
        """Why a rotation asked for was not made, or None."""
        r = self._h.rotation()
        return None if r is None else r["reason"]

    @property
    def histogram_counts(self):
        return pandas.DataFrame(self._h.histogram_counts(), columns=self.variables)

    @property
    def histogram_edges(self):
        return pandas.DataFrame(self._h.histogram_edges(), columns=self.variables)

    def _component_names(self, count):
        return pandas.Index(["PC%d" % (u + 1) for u in range(count)], name="component")

    @property
    def eigenvalues(self):
        values = self._h.eigenvalues()
        return pandas.Series(values, index=self._component_names(len(values)), name="eigenvalue")

    @property
    def explained(self):
        """Explained variance in percent: 100 * eigenvalue / sum of eigenvalues."""
        return pandas.Series(100 * (self._h.eigenvalues() / self._h.total()),
                             index=self._component_names(self.m), name="explained")

    @property
    def loadings(self):
        return pandas.DataFrame(self._h.loadings(), index=self.variables,
                                columns=self._component_names(self.m))

    @property
    def score_coefficients(self):
        c = self._h.score_coefficients()
        return pandas.DataFrame(c, index=self.variables[: c.shape[0]],
                                columns=self._component_names(c.shape[1]))

    def scores(self, count=None):
        """Component scores of every observation, as ".sco" writes them
        (count defaults to the scores ".sco" holds)."""
        if count is None:
            count = self._h.scores_written
        s = self._h.scores(count)
        return pandas.DataFrame(s, columns=self._component_names(s.shape[1]))

    def to_json(self):
        """The document `--json` writes, as text."""
        return self._h.to_json()

    def to_html(self):
        """The page `--report` writes, as text."""
        return self._h.to_html(self.name)

    def write(self, directory):
        """Writes the command line's result files as DIRECTORY/NAME.ext (the
        directory is made when missing); returns the lines the command line
        would print about them ("Writing file: ...")."""
        os.makedirs(directory, exist_ok=True)
        return self._h.write(os.fspath(directory), self.name)

    def __repr__(self):
        return "<vantor.Result %s: %d observations, %d variables>" % (self.name, self.n, self.m)
