"""The exception a failed library call raises."""


class Error(RuntimeError):
    """A failure of the library. routine names the routine that reported it (OPEN3, READ3,
    ...) and reason is the text the log gives. A failure of a file also has its path, a short
    cause ("no such file", "not a netCDF file") and, when one was given, its logical name;
    str(error) is then "PATH: CAUSE" (or "NAME (PATH): CAUSE"), otherwise the reason."""

    def __init__(self, reason: str, routine: str = "", path: str = "", cause: str = "",
                 logical_name: str = ""):
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


Error.__module__ = "kavro"
