"""The exception a failed library call raises."""


class Error(RuntimeError):
    """A failure of the library. str(error) is the reason the log gives; routine names the
    routine that reported it (OPEN3, READ3, ...)."""

    def __init__(self, reason: str, routine: str = ""):
        super().__init__(reason)
        self.reason = reason
        self.routine = routine


Error.__module__ = "kavro"
