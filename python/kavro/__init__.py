"""kavro: the gridded data files of an atmospheric model from Python.

kavro.open(path_or_name) gives a File: description, steps, read(var, step, layer) as numpy
arrays. xarray.open_dataset(path, engine="kavro") opens a file as a lazy Dataset.
kavro.compare(file1, file2, stack, **settings) runs the brindlewick comparison of two files;
kavro.compare_many(pairs, stack, client=None, **settings) runs many on a Dask cluster.

The package prints nothing: the library's log goes to logging.getLogger("kavro"), or to the
file LOGFILE names when it is set.
"""

from ._build_info import VERSION as __version__
from . import _log
from ._errors import (CompareError, Error, OpenError, ReadError, SettingError, StepError,
                      StepValueError, VariableError, WriteError)
from ._file import File, create, datetimes, model_date_time, open  # noqa: A004
from ._compare import CompareResult, CsvRow, Cell, VariableSummary, compare
from ._batch import PairResult, compare_many
from ._cf import grid_locations

_log.install()

__all__ = ["open", "create", "File", "datetimes", "model_date_time", "compare", "compare_many",
           "CompareResult", "CsvRow", "Cell", "VariableSummary", "PairResult", "Error",
           "OpenError", "ReadError", "WriteError", "StepError", "StepValueError",
           "VariableError", "SettingError", "CompareError", "grid_locations", "__version__"]
