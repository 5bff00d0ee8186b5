# Type stubs for the compiled part of lumora (see lumora/__init__.py).
import os
from types import TracebackType
from typing import List, Literal, Optional, SupportsIndex, Type, Union

_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

__version__: str

class Outcome:
    """What an action came to, when it went through."""
    @property
    def ok(self) -> bool:
        """True when the action went through with nothing to warn about."""
    @property
    def text(self) -> str:
        """One line, as lumoractl prints it."""
    @property
    def warnings(self) -> List[str]:
        """What the operator should know, one line each."""

class ModuleInfo:
    """An attached module: a USB device, with the HID interfaces it shows."""
    @property
    def port(self) -> str:
        """Where it is plugged in, such as '1-2.3'; the same after a replug
        into the same socket."""
    @property
    def path(self) -> str:
        """The node of its command interface, through which it is driven."""
    @property
    def nodes(self) -> List[str]:
        """The hidraw nodes of its interfaces, the command interface's first."""
    @property
    def serial(self) -> str: ...
    @property
    def manufacturer(self) -> str: ...
    @property
    def product(self) -> str: ...
    @property
    def state(self) -> str:
        """'free', 'held by lumoractl (process 4242)', 'held by another
        program' or 'not accessible'."""

class SequenceError:
    """One error of a sequence file; str() gives file:line:column: message."""
    @property
    def file(self) -> str: ...
    @property
    def line(self) -> int: ...
    @property
    def column(self) -> int: ...
    @property
    def key(self) -> str: ...
    @property
    def message(self) -> str: ...

class PatternEntry:
    """One entry of the pattern look-up table, decoded from its word."""
    @property
    def entry(self) -> int: ...
    @property
    def image(self) -> int: ...
    @property
    def pattern(self) -> int: ...
    @property
    def bits(self) -> int: ...
    @property
    def color(self) -> str: ...
    @property
    def invert(self) -> bool: ...
    @property
    def black(self) -> bool: ...
    @property
    def swap(self) -> bool: ...
    @property
    def word(self) -> int: ...

class Packet:
    """One packet of a command run; str() gives e.g. 'CmdLedEnable [08]'."""
    @property
    def command(self) -> str: ...
    @property
    def read_request(self) -> bool: ...
    @property
    def payload(self) -> bytes: ...
    @property
    def behind_gate(self) -> bool: ...
    @property
    def after_pause(self) -> bool: ...

class SequenceListing:
    """Both tables of a sequence file, decoded, and its command run; str()
    gives what 'lumoractl sequence --check' prints."""
    @property
    def exposure_us(self) -> int: ...
    @property
    def period_us(self) -> int: ...
    @property
    def repeat(self) -> bool: ...
    @property
    def entries(self) -> List[PatternEntry]: ...
    @property
    def images(self) -> List[int]: ...
    @property
    def run(self) -> List[Packet]: ...

class Rig:
    """The open module, made by connect(); one per process. Every call
    returns the Outcome or raises a lumora.Error; a bad argument raises
    ValueError and sends nothing."""
    @property
    def path(self) -> str: ...
    @property
    def serial(self) -> str: ...
    @property
    def port(self) -> str: ...
    def start_video_mode(self) -> Outcome:
        """Opens the module afresh and puts it back into video mode."""
    def pause(self) -> Outcome:
        """Pauses the running pattern sequence."""
    def stop(self) -> Outcome:
        """Stops the running pattern sequence."""
    def project_full_fringes(self, frequency: SupportsIndex = 10) -> Outcome:
        """Projects the full fringe set (31 patterns) at 1 to 120 Hz."""
    def project_range(self, first: SupportsIndex, last: SupportsIndex, frequency: SupportsIndex = 10) -> Outcome:
        """Projects pictures first to last (1 to 31, first not above last) at 1 to 120 Hz."""
    def project_picture(self, picture: SupportsIndex, frequency: SupportsIndex = 10) -> Outcome:
        """Projects one picture (1 to 31) at 1 to 120 Hz."""
    def project_cross(self) -> Outcome:
        """Projects the fixed cross."""
    def leds(self, red: SupportsIndex, green: SupportsIndex, blue: SupportsIndex) -> Outcome:
        """Sets the LED currents (0 to 255 each) of the running sequence."""
    def run_sequence(self, path: _Path, start_anyway: bool = False) -> Outcome:
        """Reads and checks a sequence file, then sends it; it starts only
        when the controller accepts its tables, unless start_anyway.
        Raises SequenceFileError, having sent nothing, for a file with errors."""
    def close(self) -> None:
        """Closes the module and frees it for other programs."""
    def __enter__(self) -> "Rig": ...
    def __exit__(self, exc_type: Optional[Type[BaseException]], exc: Optional[BaseException],
                 traceback: Optional[TracebackType]) -> Literal[False]:
        """Closes the module, also when the block ends in an exception."""

def connect(serial: Optional[str] = None, port: Optional[str] = None, path: Optional[_Path] = None) -> Rig:
    """Opens and locks the module chosen by its serial number, its port or
    one of its nodes (at most one of them; the first module found when none)
    and returns its Rig. Raises ValueError for an empty choice or two, and
    for a serial number that is not UTF-8 or holds a NUL character (nothing
    is opened); NoModule when nothing matches or several modules carry the
    serial number; NotAccessible, ModuleBusy, or lumora.Error while this
    process has a module open."""

def list_modules() -> List[ModuleInfo]:
    """The attached modules, in the order the HID library lists them."""

def check_sequence(path: _Path) -> SequenceListing:
    """Reads and checks a sequence file without a module; returns both
    tables decoded and the command run. Raises SequenceFileError."""
