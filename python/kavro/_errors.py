"""The package's exceptions: one hierarchy under kavro.Error.

Every error carries routine (the library routine that reported it: OPEN3, READ3, RDTFLAG, ...,
or the package's own function or keyword), path (the file concerned, "" when none is) and
cause (why, in a few words; the reason when nothing shorter is known). Subclasses tell apart what a caller
may want to handle; the ones that are also a built-in error (IndexError, ValueError, KeyError)
can be caught as that.
"""


class Error(RuntimeError):
    """A failure of the library or the package. routine names the routine that reported it
    (OPEN3, READ3, ..., or the package's function or keyword) and reason is the text the log
    gives. A failure of a file also has its path, a short cause ("no such file", "not a
    netCDF file"; the reason when the library gives none) and, when one was given, its logical
    name; str(error) is then "PATH: CAUSE" (or "NAME (PATH): CAUSE"), otherwise the reason."""

    def __init__(self, reason: str, routine: str = "", path: str = "", cause: str = "",
                 logical_name: str = ""):
        cause = cause or reason
        if path:
            where = f"{logical_name} ({path})" if logical_name else path
            message = f"{where}: {cause}"
        else:
            message = reason
        super().__init__(message)
        self.reason = reason
        self.routine = routine
        self.path = path
        self.cause = cause
        self.logical_name = logical_name

    def __reduce__(self):
        # Errors travel back from Dask workers: pickle every field, not the message alone.
        return (type(self), (self.reason, self.routine, self.path, self.cause, self.logical_name))


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
        return Exception.__str__(self)  # KeyError would quote it


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


def library_error(routine: str, reason: str, path: str = "", cause: str = "",
                  logical_name: str = "") -> Error:
    """The exception for a failure the library reported (the extension calls this)."""
    return _BY_ROUTINE.get(routine, Error)(reason, routine, path, cause, logical_name)


def refined(err: Error, kind, path) -> Error:
    """ERR as KIND when the library named no finer class, with PATH when it gave none."""
    cls = kind if type(err) is Error else type(err)
    return cls(err.reason, err.routine, err.path or ("" if path is None else str(path)),
               err.cause if err.cause != err.reason else "", err.logical_name)


for _cls in (Error, OpenError, ReadError, WriteError, StepError, StepValueError, VariableError,
             SettingError, CompareError):
    _cls.__module__ = "kavro"
