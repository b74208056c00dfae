"""vantor in a Python session: the analysis of the command-line program on
NumPy arrays, pandas DataFrames and data files, computed by the same library.

    import vantor
    result = vantor.analyse(frame, components=3)
    result.statistics, result.correlation, result.loadings
    result.write("out")          # the command line's result files

The numbers are those of `vantor -e3` on the same data, bit for bit.
"""

from .frame import analyse
from .result import Result

__all__ = ["analyse", "Result"]
