"""What a call returns or raises, against what lumoractl prints for the same
case; bad arguments; the module's lock around a Rig; calls from threads."""

import os
import signal
import threading
import time

import pytest

import lumora
from conftest import EXAMPLES, held, lumoractl, start_python

SEQUENCE = str(EXAMPLES / "returning-image.toml")


# id: simulator settings, the call on a Rig (or the serial for connect), lumoractl's arguments,
# the exception (None: a warning)
CASES = {
    "no module": ({"MODULES": 0}, None, ["connect"], lumora.NoModule),
    "no such serial": ({}, "NOPE", ["--serial", "NOPE", "connect"], lumora.NoModule),
    "not accessible": ({"ACCESS": "denied"}, None, ["connect"], lumora.NotAccessible),
    "held, holder unknown": ({"ACCESS": "busy"}, None, ["connect"], lumora.ModuleBusy),
    "link failed": ({"FAIL_WRITE": 1}, lambda rig: rig.pause(), ["pause"], lumora.LinkFailed),
    "refused": ({"ACK": "error"}, lambda rig: rig.stop(), ["stop"], lumora.Refused),
    "tables rejected": ({"STATUS": "05"}, lambda rig: rig.run_sequence(SEQUENCE), ["sequence", SEQUENCE],
                        lumora.TableCheckFailed),
    "not acknowledged": ({"ACK": "silent"}, lambda rig: rig.leds(9, 9, 9), ["leds", "9", "9", "9"], None),
}


@pytest.mark.parametrize("name", CASES)
def test_outcome_as_lumoractl_says_it(sim, name):
    settings, call, args, exception = CASES[name]
    sim.configure(**settings)
    tool = lumoractl(*args, **settings)
    said = tool.stderr.splitlines()
    if exception is None:
        with lumora.connect() as rig:
            outcome = call(rig)
        assert not outcome.ok
        assert said == ["lumoractl: warning: " + outcome.text]
        assert outcome.warnings and outcome.warnings[0] in outcome.text
        return
    with pytest.raises(exception) as raised:
        if callable(call):
            with lumora.connect() as rig:
                call(rig)
        else:
            lumora.connect(serial=call).close()
    assert type(raised.value) is exception
    assert [str(raised.value), *raised.value.advice] == [said[0].removeprefix("lumoractl: "), *said[1:]]
    assert tool.returncode == 1


def test_modules_listed_as_lumoractl_lists_them(sim):
    settings = {"MODULES": 2, "INTERFACES": 2, "SERIAL": "DUP"}
    sim.configure(**settings)
    modules = lumora.list_modules()
    listed = [f"{m.port}\t{m.serial}\t{m.product}\t{m.manufacturer}\t{m.state}\t{' '.join(m.nodes)}" for m in modules]
    assert listed == lumoractl("list", **settings).stdout.splitlines()[1:]
    assert [m.path for m in modules] == [m.nodes[0] for m in modules]
    with lumora.connect(port="1-2") as rig:
        assert [rig.port, rig.path, rig.serial] == [modules[1].port, modules[1].path, "DUP"]
        assert lumora.list_modules()[1].state.startswith("held by ")
    with lumora.connect(path=modules[1].nodes[1]) as rig:  # any node of a module names it
        assert rig.path == modules[1].path
        rig.stop()
        assert rig.start_video_mode().ok  # reopens the same module, not the first
        assert rig.path == modules[1].path


# The choice of module: what connect() refuses, and lumoractl's words and
# exit status for the same.
CHOICES = {
    "empty serial": ({"serial": ""}, ["--serial", ""], ValueError),
    "empty port": ({"port": ""}, ["--port", ""], ValueError),
    "two choices": ({"port": "1-1", "serial": "DUP"}, ["--serial", "DUP", "--port", "1-1"], ValueError),
    "shared serial": ({"serial": "DUP"}, ["--serial", "DUP"], lumora.NoModule),
    "no such port": ({"port": "1-9"}, ["--port", "1-9"], lumora.NoModule),
    "no such node": ({"path": "/dev/hidraw99"}, ["--path", "/dev/hidraw99"], lumora.NoModule),
}


@pytest.mark.parametrize("name", CHOICES)
def test_a_choice_is_refused_as_lumoractl_refuses_it(sim, name):
    arguments, options, exception = CHOICES[name]
    settings = {"MODULES": 2, "SERIAL": "DUP"}
    sim.configure(**settings)
    tool = lumoractl(*options, "stop", **settings)
    with pytest.raises(exception) as raised:
        lumora.connect(**arguments)
    said = tool.stderr.splitlines()[0].removeprefix("lumoractl: ")
    if exception is ValueError:
        assert tool.returncode == 2
        # The same words, with the argument's name for the option's.
        assert str(raised.value) == said.replace("--", "")
    else:
        assert tool.returncode == 1
        assert str(raised.value) == said
    assert sim.packets() == []


# Serial numbers that, cut short at their bad bytes, would name SIM0001.
BAD_SERIALS = {
    "overlong bytes": b"SIM0001\xc0\x80",
    "surrogate bytes": b"SIM0001\xed\xa0\x80",
    "lone surrogate": "SIM0001\udc80",
    "undecodable byte as os.fsdecode gives it": os.fsdecode(b"SIM0001\xff"),
    "NUL": "SIM0001\x00",
}


@pytest.mark.parametrize("name", BAD_SERIALS)
def test_a_serial_that_is_no_text_opens_nothing(sim, name):
    serial = BAD_SERIALS[name]
    with pytest.raises(ValueError) as raised:
        lumora.connect(serial=serial)
    assert "the serial number 'SIM0001" in str(raised.value)
    assert sim.packets() == []
    with lumora.connect(serial="SIM0001") as rig:  # and the link is free
        assert rig.serial == "SIM0001"
    if isinstance(serial, bytes):
        tool = lumoractl("--serial", os.fsdecode(serial), "stop")
        assert tool.returncode == 2
        assert str(raised.value) == tool.stderr.splitlines()[0].removeprefix("lumoractl: ")


def test_a_serial_of_another_type_is_a_type_error(sim):
    with pytest.raises(TypeError):
        lumora.connect(serial=1)


def test_after_a_link_failure_the_rig_has_no_module(sim):
    sim.configure(FAIL_WRITE=1)
    with lumora.connect() as rig:
        with pytest.raises(lumora.LinkFailed):
            rig.pause()
        with pytest.raises(lumora.LinkFailed, match=r"^No module is open; connect first\.$"):
            rig.stop()
        assert not held(rig.path)


def test_a_module_held_by_another_program(sim):
    holder = start_python("import lumora, sys\nrig = lumora.connect()\nprint(rig.path, flush=True)\nsys.stdin.read()")
    try:
        path = holder.stdout.readline().strip()
        assert path, holder.stderr.read()
        with pytest.raises(lumora.ModuleBusy) as raised:
            lumora.connect()
        said = lumoractl("connect").stderr
        assert str(raised.value) == said.strip().removeprefix("lumoractl: ")
        assert f"(python3, process {holder.pid})" in str(raised.value)
    finally:
        holder.communicate("", timeout=10)
    lumora.connect().close()
    assert sim.packets() == []


def test_the_with_block_closes_the_module_also_on_an_exception(sim):
    with pytest.raises(KeyError):
        with lumora.connect() as rig:
            path = rig.path
            assert held(path)
            raise KeyError("camera")
    assert not held(path)
    rig.close()  # a second close does nothing
    assert lumoractl("stop").returncode == 0


def test_a_rig_let_go_closes_the_module(sim):
    rig = lumora.connect()
    path = rig.path
    del rig
    assert not held(path)


def test_one_module_per_process(sim):
    with lumora.connect() as rig:
        with pytest.raises(lumora.Error) as raised:
            lumora.connect()
        assert type(raised.value) is lumora.Error
        assert held(rig.path)
        assert rig.pause().ok
    with lumora.connect() as again:
        # The first Rig is closed: it neither sends nor closes the module of the second.
        with pytest.raises(lumora.LinkFailed, match=r"^No module is open; connect first\.$"):
            rig.stop()
        rig.close()
        assert held(again.path)
    assert [line.split()[1:3] for line in sim.packets()] == [["CmdPatternStartStop", "[01]"]]


class Index:
    """An integer that is not an int, as NumPy's are."""

    def __index__(self):
        return 7


# A call with a bad argument, and lumoractl's arguments for the same numbers.
BAD_ARGUMENTS = [
    (lambda rig: rig.project_full_fringes(0), ["fringes", "-f", "0"]),
    (lambda rig: rig.project_full_fringes(frequency=121), ["fringes", "-f", "121"]),
    (lambda rig: rig.project_full_fringes(2**31), ["fringes", "-f", str(2**31)]),
    (lambda rig: rig.project_full_fringes(-2**80), ["fringes", "-f", str(-2**80)]),
    (lambda rig: rig.project_full_fringes(10.0), ["fringes", "-f", "10.0"]),
    (lambda rig: rig.project_full_fringes(None), ["fringes", "-f", "None"]),
    (lambda rig: rig.project_range(0, 5), ["range", "0", "5"]),
    (lambda rig: rig.project_range(6, 5), ["range", "6", "5"]),
    (lambda rig: rig.project_range(6, 32, frequency=0), ["range", "-f", "0", "6", "32"]),
    (lambda rig: rig.project_range(True, 5), ["range", "True", "5"]),
    (lambda rig: rig.project_range(1, "five"), ["range", "1", "five"]),
    (lambda rig: rig.project_picture(32), ["picture", "32"]),
    (lambda rig: rig.project_picture("ten\n" * 20), ["picture", "ten\n" * 20]),
    (lambda rig: rig.leds(256, 0, 0), ["leds", "256", "0", "0"]),
    (lambda rig: rig.leds(0, -1, 0), ["leds", "0", "-1", "0"]),
    (lambda rig: rig.leds(Index(), 0, [1]), ["leds", "7", "0", "[1]"]),
]


@pytest.mark.parametrize("call, args", BAD_ARGUMENTS, ids=[" ".join(args)[:24] for _, args in BAD_ARGUMENTS])
def test_a_bad_argument_sends_nothing(sim, call, args):
    with lumora.connect() as rig:
        with pytest.raises(ValueError) as raised:
            call(rig)
    tool = lumoractl(*args)
    assert tool.returncode == 2
    assert str(raised.value) == tool.stderr.splitlines()[0].removeprefix("lumoractl: ")
    assert sim.packets() == []


def test_a_call_on_another_thread_lets_python_run_and_keeps_the_link_to_itself(sim):
    with lumora.connect() as rig:
        projecting = threading.Thread(target=rig.project_picture, args=(5,))
        projecting.start()
        starts = 0
        while starts == 0:  # Python runs on while the link waits out the start pause
            time.sleep(0.01)
            starts = sum("CmdPatternStartStop [02]" in line for line in sim.packets())
        assert starts == 1 and projecting.is_alive()
        rig.pause()  # waits for the picture's eight starts
        projecting.join()
    sent = [line.split()[1:3] for line in sim.packets()]
    assert sent[-9:] == [["CmdPatternStartStop", "[02]"]] * 8 + [["CmdPatternStartStop", "[01]"]]


CANCELLING = """
import lumora, signal, sys, time
with lumora.connect() as rig:
    print(rig.path, flush=True)
    try:
        rig.project_full_fringes()
    except lumora.Cancelled as cancelled:
        print(f"{time.monotonic():.3f}", flush=True)
        print(cancelled.outcome.text, flush=True)
        assert isinstance(cancelled, KeyboardInterrupt)
"""


def test_ctrl_c_cancels_the_action_and_keeps_its_outcome(sim):
    program = start_python(CANCELLING, ACK="silent", REAL_TIMEOUTS=1)
    try:
        path = program.stdout.readline().strip()
        assert path, program.stderr.read()
        time.sleep(0.3)
        sent = time.monotonic()
        program.send_signal(signal.SIGINT)
        answered = float(program.stdout.readline())
        print(f"Ctrl-C to Cancelled: {1000 * (answered - sent):.0f} ms")
        assert answered - sent < 0.2
        assert program.stdout.readline().strip() == (
            "Project Full Fringes at 10 Hz: cancelled after 1 of 29 commands; the sequence was not started.")
    finally:
        out, err = program.communicate("", timeout=10)
    assert program.returncode == 0, err
    assert not held(path)
