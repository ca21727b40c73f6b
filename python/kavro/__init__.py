"""kavro: the gridded data files of an atmospheric model from Python.

kavro.open(path_or_name) gives a File: description, steps, read(var, step, layer) as numpy
arrays. xarray.open_dataset(path, engine="kavro") opens a file as a lazy Dataset;
kavro.to_netcdf(ds, path) (or ds.kavro.to_netcdf(path)) writes one back as the library reads
it, which a plain ds.to_netcdf(path) does not.
kavro.compare(file1, file2, stack=None, **settings) runs the brindlewick comparison of two
files (without a location file, the locations come from the grid's projection);
kavro.compare_many(pairs, stack=None, client=None, **settings) runs many on a Dask cluster;
kavro.compare_folders(dir1, dir2, client=None, **settings) compares two folders pair by pair.

The package prints nothing: the library's log goes to logging.getLogger("kavro"), or to the
file LOGFILE names when it is set.
"""

import sys

from ._build_info import VERSION as __version__
from . import _log
from ._errors import (CompareError, Error, OpenError, ReadError, SettingError, StepError,
                      StepValueError, VariableError, WriteError)
from ._file import File, create, datetimes, model_date_time, open  # noqa: A004
from ._compare import CompareResult, CsvRow, Cell, VariableSummary, compare
from ._batch import PairResult, compare_many
from ._folders import FolderResult, compare_folders
from ._cf import grid_locations

_log.install()


def to_netcdf(ds, path, **options) -> None:
    """Writes ds, a Dataset of engine "kavro", to the netCDF file path laid out as the
    library reads it (see kavro._writer.to_netcdf). A plain ds.to_netcdf(path) writes the
    engine's dimensions and coordinates, which the library refuses."""
    from . import _writer  # xarray is imported only when asked for
    _writer.to_netcdf(ds, path, **options)


# ds.kavro: registered here when xarray is already imported, and by the engine's module,
# which xarray imports when it opens any Dataset.
if "xarray" in sys.modules:
    from . import _writer
    _writer.register_accessor()

__all__ = ["open", "create", "File", "datetimes", "model_date_time", "compare", "compare_many",
           "compare_folders", "FolderResult",
           "to_netcdf", "CompareResult", "CsvRow", "Cell", "VariableSummary", "PairResult",
           "Error", "OpenError", "ReadError", "WriteError", "StepError", "StepValueError",
           "VariableError", "SettingError", "CompareError", "grid_locations",
           "__version__"]
