"""Sequence files: the listing without a module, and files with errors, which
raise with every error's position and send nothing."""

from pathlib import Path

import pytest

import lumora
from conftest import EXAMPLES, lumoractl


@pytest.mark.parametrize("example", sorted(EXAMPLES.glob("*.toml")), ids=lambda path: path.name)
def test_the_listing_is_lumoractls(example):
    listing = lumora.check_sequence(example)
    assert str(listing) == lumoractl("sequence", "--check", example).stdout
    swaps = [entry for entry in listing.entries if entry.swap]
    assert [entry.image for entry in swaps] == listing.images
    assert listing.run[-1].command == "CmdPatternStartStop" and listing.run[-1].behind_gate


# The file, and the (line, column) of each of its errors.
BAD_FILES = {
    "out of range": ("frequency_hz = 500\n\n[[pattern]]\nimage = 3\npattern = 7\nbits = 8\n", [(1, 16), (5, 11)]),
    "syntax": ("frequency_hz = 60\n[[pattern]\nimage = 3\n", [(2, 11)]),
    "missing": (None, [(0, 0)]),
}


@pytest.mark.parametrize("name", BAD_FILES)
def test_a_file_with_errors_raises_and_sends_nothing(sim, tmp_path, monkeypatch, name):
    text, positions = BAD_FILES[name]
    monkeypatch.chdir(tmp_path)
    path = Path("scan.toml")
    if text is not None:
        path.write_text(text)
    tool = lumoractl("sequence", path)
    assert tool.returncode == 2
    expected = tool.stderr.replace("lumoractl: ", "").rstrip("\n")
    with lumora.connect() as rig:
        with pytest.raises(lumora.SequenceFileError) as sending:
            rig.run_sequence(path)
    with pytest.raises(lumora.SequenceFileError) as checking:
        lumora.check_sequence(str(path))
    for error in (sending.value, checking.value):
        assert str(error) == expected
        assert [(e.line, e.column) for e in error.errors] == positions
        assert (error.file, error.line, error.column) == (str(path), *positions[0])
        assert [str(e) for e in error.errors] == expected.splitlines()
    assert sim.packets() == []


def test_a_file_named_with_control_characters_is_shown_escaped(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    path = Path("scan\x1b[2J.toml")
    with pytest.raises(lumora.SequenceFileError) as raised:
        lumora.check_sequence(path)
    assert "\x1b" not in str(raised.value) and "\\x1B[2J" in str(raised.value)
    assert raised.value.file == str(path) == raised.value.errors[0].file
