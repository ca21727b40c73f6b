"""kavro: the gridded data files of an atmospheric model from Python.

kavro.compare(file1, file2, stack, **settings) runs the brindlewick comparison of two files;
kavro.compare_many(pairs, stack, client=None, **settings) runs many on a Dask cluster.
"""

from ._build_info import VERSION as __version__
from ._compare import (CompareError, CompareResult, CsvRow, Cell, VariableSummary, compare)
from ._batch import PairResult, compare_many

__all__ = ["compare", "compare_many", "CompareError", "CompareResult", "CsvRow", "Cell",
           "VariableSummary", "PairResult", "__version__"]
