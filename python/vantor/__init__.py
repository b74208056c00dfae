"""vantor in a Python session: the analysis of the command-line program on
NumPy arrays, pandas DataFrames and data files, computed by the same library.

    import vantor
    result = vantor.analyse(frame, components=3)
    result.statistics, result.correlation, result.loadings
    result.write("out")          # the command line's result files

The numbers are those of `vantor -e3` on the same data, bit for bit.
vantor.dask.analyse does the same on a Dask DataFrame or Array, partition
by partition on the workers (import vantor.dask).
"""

from .frame import analyse
from .result import Result

__all__ = ["analyse", "Result"]
