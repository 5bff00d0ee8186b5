"""Drive a projection module's controller from Python.

The same core as the dialog ``lumora`` and ``lumoractl``: the same commands
on the wire, the same module lock, the same outcome texts::

    import lumora

    for m in lumora.list_modules():
        print(m.port, m.serial, m.state)

    with lumora.connect() as rig:              # opens and locks the module
        rig.project_range(1, 12, frequency=30)
        ...                                    # the camera captures here
        rig.stop()                             # the module is closed on leaving

Each call of a Rig returns an Outcome (``ok``, ``warnings``, ``text``) or
raises a subclass of ``lumora.Error`` whose message is the line lumoractl
prints for the same case. A bad argument raises ValueError and sends nothing.
Ctrl-C during an action cancels it and raises ``lumora.Cancelled`` (a
KeyboardInterrupt) with the action's outcome attached.
One module is open per process; device calls release the GIL and run one at
a time.
"""

from typing import Iterable, Optional, Sequence


class Error(Exception):
    """An action that failed. str(error) is the line lumoractl prints for
    it; ``advice`` holds the lines it prints below, if any."""

    def __init__(self, message: str, advice: Iterable[str] = ()) -> None:
        super().__init__(message)
        self.advice: Sequence[str] = list(advice)


class NoModule(Error):
    """No module is attached, or none that the choice names: no module at
    the port or with the node or serial number asked for, or several
    modules that carry the serial number."""


class NotAccessible(Error):
    """A module is attached, but this user may not open it (see ``advice``)."""


class ModuleBusy(Error):
    """A module is attached, but another program holds it."""


class LinkFailed(Error):
    """The link failed and the module was closed, or no module is open."""


class Refused(Error):
    """The controller refused one or more commands."""


class TableCheckFailed(Error):
    """The controller did not accept the look-up tables."""


class SequenceFileError(Error):
    """A sequence file that cannot be sent; nothing was sent. ``errors``
    lists every error found, each with its line and column; ``file``,
    ``line`` and ``column`` are those of the first (line and column 0 when it
    concerns the whole file)."""

    def __init__(self, message: str, file: str = "", errors: Iterable["SequenceError"] = (),
                 advice: Iterable[str] = ()) -> None:
        super().__init__(message, advice)
        self.errors: Sequence[SequenceError] = list(errors)
        self.file: str = file
        first: Optional[SequenceError] = self.errors[0] if self.errors else None
        self.line: int = first.line if first is not None else 0
        self.column: int = first.column if first is not None else 0


class Cancelled(KeyboardInterrupt):
    """Ctrl-C during an action: the action stopped before its next command
    (or within 100 ms of a wait for the controller). ``outcome`` says what
    went out and whether the sequence was started; the Rig stays usable, and
    its ``with`` block closes the module as always."""

    def __init__(self, message: str = "", outcome: "Optional[Outcome]" = None) -> None:
        super().__init__(message)
        self.outcome = outcome


from ._lumora import (  # noqa: E402  (the classes above are raised from it)
    ModuleInfo,
    Outcome,
    Packet,
    PatternEntry,
    Rig,
    SequenceError,
    SequenceListing,
    __version__,
    check_sequence,
    connect,
    list_modules,
)

__all__ = [
    "__version__",
    "Error", "NoModule", "NotAccessible", "ModuleBusy", "LinkFailed", "Refused", "TableCheckFailed",
    "SequenceFileError", "Cancelled",
    "ModuleInfo", "Outcome", "Packet", "PatternEntry", "Rig", "SequenceError", "SequenceListing",
    "check_sequence", "connect", "list_modules",
]
