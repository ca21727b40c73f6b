"""kavro: the gridded data files of an atmospheric model from Python.

kavro.open(path_or_name) gives a File: description, steps, read(var, step, layer) as numpy
arrays. xarray.open_dataset(path, engine="kavro") opens a file as a lazy Dataset.
kavro.compare(file1, file2, stack, **settings) runs the brindlewick comparison of two files;
kavro.compare_many(pairs, stack, client=None, **settings) runs many on a Dask cluster.
"""

from ._build_info import VERSION as __version__
from ._errors import Error
from ._file import File, create, datetimes, model_date_time, open  # noqa: A004
from ._compare import (CompareError, CompareResult, CsvRow, Cell, VariableSummary, compare)
from ._batch import PairResult, compare_many

__all__ = ["open", "create", "File", "Error", "datetimes", "model_date_time", "compare", "compare_many", "CompareError",
           "CompareResult", "CsvRow", "Cell", "VariableSummary", "PairResult", "__version__"]
