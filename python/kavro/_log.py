"""The library's log in Python's logging: the package says nothing on standard output.

When LOGFILE is set, the library keeps its log in that file, as every program of it does.
Otherwise each line of the log goes to logging.getLogger("kavro"): warnings (and the lines of
a failed netCDF call) at WARNING, the rest at INFO, blank lines left out. The start-up banner
goes to standard output only when KAVRO_BANNER says so; the package sets it to N unless the
caller has set it.
"""

import atexit
import logging
import os

from . import _errors, _kavro

logger = logging.getLogger("kavro")
_MARGIN = "     "  # every log line begins with five blanks


def log_line(line: str, warning: bool) -> None:
    text = line[len(_MARGIN):] if line.startswith(_MARGIN) else line
    if text.strip():
        logger.log(logging.WARNING if warning else logging.INFO, "%s", text.rstrip())


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
