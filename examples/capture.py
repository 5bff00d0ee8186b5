#!/usr/bin/env python3
"""Projects pictures 1 to 12 at 30 Hz while a camera captures them, then
stops the sequence.

    python3 examples/capture.py [SERIAL]

SERIAL picks one of several modules ('lumoractl list' shows them).
"""

import sys
import time

import lumora


def capture_frames(count, frequency):
    """Stands in for your camera's code."""
    time.sleep(count / frequency)


def main():
    serial = sys.argv[1] if len(sys.argv) > 1 else None
    try:
        with lumora.connect(serial=serial) as rig:  # opens and locks the module; closes on exit
            print(rig.project_range(1, 12, frequency=30))
            capture_frames(12, 30)
            print(rig.stop())
    except lumora.Error as error:
        # The same line lumoractl prints, and what to do about it.
        print(f"capture: {error}", *error.advice, sep="\n", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
