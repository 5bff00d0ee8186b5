"""The module against the simulated controller, preloaded under this
interpreter (LD_PRELOAD), and lumoractl under the same simulator as the
reference for every packet and every text.

The simulator reads its LUMORA_SIM_* settings when it is loaded; a test gives
it others through lumora_sim_configure(), which reads them again. Programs
started by a test get their settings in their environment."""

import ctypes
import fcntl
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
LUMORACTL = str(Path(os.environ.get("LUMORACTL", ROOT / "build" / "lumoractl")).resolve())

if "lumora-sim" not in os.environ.get("LD_PRELOAD", ""):
    pytest.exit("run under the simulated controller: LD_PRELOAD=build/lib/liblumora-sim.so", returncode=2)

_configure = ctypes.CDLL(None).lumora_sim_configure
_configure.restype = None


def base_environment(**settings):
    """This process's environment without its simulator settings, plus
    settings (TRACE="file" stands for LUMORA_SIM_TRACE=file)."""
    environment = {k: v for k, v in os.environ.items() if not k.startswith("LUMORA_SIM_") or k == "LUMORA_SIM_DIR"}
    environment.update({"LUMORA_SIM_" + name: str(value) for name, value in settings.items()})
    return environment


def packets(trace):
    """The decoded packets of a simulator trace, sequence numbers removed."""
    if not Path(trace).exists():
        return []
    return [re.sub(r"seq +\d+ +", "", line) for line in Path(trace).read_text().splitlines()]


def lumoractl(*args, trace=None, **settings):
    """Runs lumoractl under the simulator; settings as base_environment."""
    if trace is not None:
        settings["TRACE"] = trace
    return subprocess.run([LUMORACTL, *map(str, args)], env=base_environment(**settings),
                          capture_output=True, text=True, timeout=30)


def start_python(code, **settings):
    """Starts this interpreter on code, the module importable, under the
    simulator; settings as base_environment. Returns the process."""
    return subprocess.Popen([sys.executable, "-c", code], env=base_environment(**settings),
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def held(path):
    """Whether some program holds the module's lock."""
    with open(path, "rb") as node:
        try:
            fcntl.flock(node, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            return True
        fcntl.flock(node, fcntl.LOCK_UN)
        return False


class Simulator:
    """The simulator inside this process, its packets traced to a file."""

    def __init__(self, directory):
        self.trace = directory / "python.sim"

    def configure(self, **settings):
        for name in [k for k in os.environ if k.startswith("LUMORA_SIM_") and k != "LUMORA_SIM_DIR"]:
            del os.environ[name]
        os.environ.update(base_environment(TRACE=self.trace, **settings))
        self.trace.unlink(missing_ok=True)
        _configure()

    def packets(self):
        return packets(self.trace)


@pytest.fixture
def sim(tmp_path):
    simulator = Simulator(tmp_path)
    simulator.configure()
    yield simulator
    simulator.configure()
