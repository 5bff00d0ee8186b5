"""What one rig.pause() costs from Python, against the simulated controller
in its zero-cost mode, so that the figure is the module's and the core's own
work: the call into the extension, the argument-free action, the GIL released
and the link's mutex taken, the outcome made and returned. For comparison,
the same Rig's serial property (a call into the extension and nothing else).
Run by bench/python-pause, never by CTest."""

import os
import timeit

import lumora

assert os.environ.get("LUMORA_SIM_ZERO_COST") == "1", "run through bench/python-pause"

CALLS = 100_000
ROUNDS = 7


def per_call_ns(function):
    return min(timeit.repeat(function, number=CALLS, repeat=ROUNDS)) / CALLS * 1e9


with lumora.connect() as rig:
    assert rig.pause().text == "Pause: sent."
    pause = per_call_ns(rig.pause)
    serial = per_call_ns(lambda: rig.serial)
    assert rig.pause().ok

print(f"rig.pause()   {pause:8.0f} ns per call (best of {ROUNDS} rounds of {CALLS})")
print(f"rig.serial    {serial:8.0f} ns per call (a call into the extension alone)")
