"""The library's log in Python's logging: the package says nothing on standard output or
standard error.

When LOGFILE is set, the library keeps its log in that file, as every program of it does.
Otherwise each line of the log goes to logging.getLogger("kavro"): warnings (and the lines of
a failed netCDF call) at WARNING, the rest at INFO, blank lines left out. The logger has a
NullHandler, as a library's logger should: with no logging configured, the lines are dropped,
not printed on standard error by logging's last resort. A file opened by its path has a
logical name of the library's making (KAVROFILE001, ...), which means nothing to the caller:
the lines name the path instead. The start-up banner goes to standard output only when
KAVRO_BANNER says so; the package sets it to N unless the caller has set it.
"""

import atexit
import ctypes
import logging
import os
import re

from . import _errors, _kavro

logger = logging.getLogger("kavro")
logger.addHandler(logging.NullHandler())
_MARGIN = "     "  # every log line begins with five blanks

# The names kavro::File::open_path gives paths: the prefix and a number. The library sets each
# in the process's environment to its path, where os.environ (read at start-up) does not look.
_MADE_NAME = re.compile(r"\bKAVROFILE[0-9]+\b")
_getenv = ctypes.CDLL(None).getenv
_getenv.restype = ctypes.c_char_p
_getenv.argtypes = [ctypes.c_char_p]


def _path_of(name: str) -> str:
    value = _getenv(name.encode())
    return os.fsdecode(value) if value else name


def named_by_path(text: str) -> str:
    """TEXT with each logical name of the library's making replaced by the path it stands
    for; the line that says which path a name stands for ("NAME:PATH") is the path alone."""
    if _MADE_NAME.search(text) is None:
        return text
    name, colon, rest = text.partition(":")
    if colon and _MADE_NAME.fullmatch(name):
        return rest
    return _MADE_NAME.sub(lambda m: _path_of(m[0]), text)


def log_line(line: str, warning: bool) -> None:
    text = line[len(_MARGIN):] if line.startswith(_MARGIN) else line
    if text.strip():
        logger.log(logging.WARNING if warning else logging.INFO, "%s",
                   named_by_path(text.rstrip()))


_log_checked = False


def check_logfile() -> None:
    """Before the library's first use in this process. The library stops a process whose
    LOGFILE names a file that exists already (the log must be new); say so as an error
    instead. Worker processes inherit LOGFILE: leave it unset there, and each logs through
    logging."""
    global _log_checked
    if _log_checked:
        return
    path = os.environ.get("LOGFILE", "").rstrip()
    if path and path != "/dev/null" and os.path.lexists(path):
        raise _errors.OpenError(
            f'LOGFILE "{path}" exists already: name a file that does not exist yet or '
            '"/dev/null", or unset LOGFILE to log through logging (in every process of a '
            "cluster)", "INITLOG3", path)
    _log_checked = True


def install() -> None:
    os.environ.setdefault("KAVRO_BANNER", "N")
    _kavro.set_log_handler(log_line)
    # Lines the library writes while the interpreter shuts down (files closed late) are
    # dropped rather than handed to a logging module that may be gone.
    atexit.register(_kavro.set_log_handler, None)
