"""The package's exceptions: one hierarchy under kavro.Error.

Every error carries routine (the library routine that reported it: OPEN3, READ3, RDTFLAG, ...,
or the package's own function), path (the file or logical value concerned, None when no file
is) and cause (the reason, as the library's log gives it). Subclasses tell apart what a caller
may want to handle; the ones that are also a built-in error (IndexError, ValueError, KeyError)
can be caught as that.
"""

from typing import Optional


class Error(RuntimeError):
    """A failure of the library or the package. str(error) is the cause."""

    def __init__(self, cause: str, routine: str = "", path: Optional[str] = None):
        super().__init__(cause)
        self.cause = cause
        self.routine = routine
        self.path = path

    @property
    def reason(self) -> str:
        """The cause (the name earlier versions used)."""
        return self.cause

    def __reduce__(self):
        # Errors travel back from Dask workers: pickle the three fields, not args alone.
        return (type(self), (self.cause, self.routine, self.path))


class OpenError(Error):
    """A file could not be opened or created."""


class ReadError(Error):
    """Values could not be read (a step not written, a layer the file lacks, ...)."""


class WriteError(Error):
    """Values could not be written."""


class StepError(Error, IndexError):
    """A step that is not in the file (an index or time out of its range)."""


class StepValueError(Error, ValueError):
    """A step given in a form the package cannot read."""


class VariableError(Error, KeyError):
    """A variable the file does not hold."""

    def __str__(self):
        return self.cause  # KeyError would quote it


class SettingError(Error, ValueError):
    """A bad keyword argument: its name is the routine, so callers see which one."""


class CompareError(Error):
    """The comparison tool could not be run at all (not found, killed, wrote no result)."""


# The class of a library failure, by the routine that reported it; others are plain Errors.
_BY_ROUTINE = {
    "OPEN3": OpenError, "OPNFIL3": OpenError, "OPNLIST3": OpenError, "CRTFIL3": OpenError,
    "File::open": OpenError, "File::create": OpenError,
    "READ3": ReadError, "RDTFLAG": ReadError, "File::read": ReadError, "XQABORT": ReadError,
    "WRITE3": WriteError, "File::write": WriteError,
}


def library_error(routine: str, cause: str, path: Optional[str] = None) -> Error:
    """The exception for a failure the library reported (the extension calls this)."""
    return _BY_ROUTINE.get(routine, Error)(cause, routine, path)


def with_path(err: Error, path) -> Error:
    """ERR with its path filled in when the library did not give one."""
    if err.path is None and path is not None:
        err.path = str(path)
    return err


for _cls in (Error, OpenError, ReadError, WriteError, StepError, StepValueError, VariableError,
             SettingError, CompareError):
    _cls.__module__ = "kavro"
