"""Each call's packets and outcome line against lumoractl's for the same
action. The presets wait one real second before repeating their start, so the
runs go in parallel, each program with a module of its own."""

import re
import subprocess
import sys

import pytest

import lumora
from conftest import EXAMPLES, LUMORACTL, base_environment, lumoractl, packets, start_python

SEQUENCE = str(EXAMPLES / "returning-image.toml")

# A call on an open Rig, and the lumoractl command that does the same.
CALLS = {
    "start_video_mode": ("rig.start_video_mode()", ["start"]),
    "pause": ("rig.pause()", ["pause"]),
    "stop": ("rig.stop()", ["stop"]),
    "full_fringes": ("rig.project_full_fringes(frequency=120)", ["fringes", "-f", "120"]),
    "range": ("rig.project_range(1, 12, frequency=30)", ["range", "-f", "30", "1", "12"]),
    "picture": ("rig.project_picture(31)", ["picture", "31"]),
    "cross": ("rig.project_cross()", ["cross"]),
    "leds": ("rig.leds(0, 128, 255)", ["leds", "0", "128", "255"]),
    "sequence": (f"rig.run_sequence({SEQUENCE!r})", ["sequence", SEQUENCE]),
}

PRIVATE = {"DIR": ""}  # each program's module in a directory of its own


@pytest.fixture(scope="module")
def runs(tmp_path_factory):
    """Every call from Python and from lumoractl, started at once."""
    directory = tmp_path_factory.mktemp("wire")
    started = {}
    for name, (call, args) in CALLS.items():
        code = f"import lumora\nwith lumora.connect() as rig:\n    print({call}.text)\n"
        python = start_python(code, TRACE=directory / f"{name}.py.sim", **PRIVATE)
        tool = subprocess.Popen([LUMORACTL, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                env=base_environment(TRACE=directory / f"{name}.ctl.sim", **PRIVATE))
        started[name] = (python, tool)
    example = subprocess.Popen([sys.executable, str(EXAMPLES / "capture.py")], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True,
                               env=base_environment(TRACE=directory / "capture.sim", **PRIVATE))
    results = {}
    for name, (python, tool) in started.items():
        results[name] = (python.communicate(timeout=30), python.returncode, packets(directory / f"{name}.py.sim"),
                         tool.communicate(timeout=30), tool.returncode, packets(directory / f"{name}.ctl.sim"))
    results["capture.py"] = (example.communicate(timeout=30), example.returncode, packets(directory / "capture.sim"))
    return results


@pytest.mark.parametrize("name", CALLS)
def test_a_call_sends_what_lumoractl_sends(runs, name):
    (out, err), status, sent, (tool_out, tool_err), tool_status, tool_sent = runs[name]
    assert (status, err) == (0, "")
    assert tool_status == 0, tool_err
    assert sent == tool_sent
    assert len(sent) > 0
    assert out == tool_out


def test_the_listing_of_a_sequence_is_what_goes_out(runs):
    sent = [re.match(r"sim: (.*\]) +\d+ reports? ", line).group(1) for line in runs["sequence"][2]]
    assert sent == [str(packet) for packet in lumora.check_sequence(SEQUENCE).run]


def test_one_rig_many_calls(sim):
    with lumora.connect() as rig:
        outcomes = [rig.pause().text, rig.leds(1, 2, 3).text, rig.stop().text]
    expected = []
    for args in (["pause"], ["leds", "1", "2", "3"], ["stop"]):
        tool = lumoractl(*args, trace=sim.trace.with_suffix(".ctl"))
        expected.append(tool.stdout.strip())
    assert outcomes == expected
    assert sim.packets() == packets(sim.trace.with_suffix(".ctl"))


def test_the_capture_example_runs(runs):
    (out, err), status, sent = runs["capture.py"]
    assert (status, err) == (0, "")
    assert sent == runs["range"][5] + runs["stop"][5]
    assert out.splitlines() == [runs["range"][3][0].strip(), runs["stop"][3][0].strip()]
