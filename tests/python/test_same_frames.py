"""A Python session sends the frames the same qe7204ctl commands send, byte for byte."""

import subprocess

import pytest

import qe7204

GOLDEN = bytes([0x00, 0x01, 0x00, 0x00, 0x0A, 0x00, 0xC2, 0x81] + [0] * 8)

# The command line's command, and the same step on an open chip.
CASES = [
    ("show", lambda chip, path: chip.fields()),
    ("get Res", lambda chip, path: chip.get("Res")),
    ("set Res=1024", lambda chip, path: chip.set(Res=1024)),
    ("set Res=1024 Dact=Tacho Sth=16", lambda chip, path: chip.set(Res=1024, Dact="Tacho", Sth=16)),
    ("address 7", lambda chip, path: setattr(chip, "address", 7)),
    ("zero 1234", lambda chip, path: chip.zero(1234)),
    ("zero --current", lambda chip, path: chip.zero_current()),
    ("hysteresis 10", lambda chip, path: chip.hysteresis(10)),
    ("prog", lambda chip, path: chip.prog()),
    ("read-eeprom", lambda chip, path: chip.read_eeprom()),
    ("load {path}", lambda chip, path: chip.load(path)),
    ("save --force {path}", lambda chip, path: chip.save(path, force=True)),
    ("diff {path}", lambda chip, path: chip.diff(path)),
    ("watch --count 3", lambda chip, path: list(chip.readouts(count=3))),
    ("watch --rate max --count 3", lambda chip, path: list(chip.readouts(count=3, rate="max"))),
]


def without_time(lines):
    """'trace   12.345 -> 59 01 33  read ...' without the time, which differs run to run."""
    return [line.split(None, 2)[2] for line in lines if line.startswith("trace ")]


def ctl_frames(ctl, command):
    run = subprocess.run([ctl, "--simulate", "--magnet-speed", "0", "--trace", *command.split()],
                         capture_output=True, text=True, timeout=60)
    assert run.returncode in (0, 3), run.stderr
    return without_time(run.stderr.splitlines())


def python_frames(capsys, step, path):
    with qe7204.open(simulate=True, magnet_speed=0, trace=True) as chip:
        step(chip, path)
    return without_time(capsys.readouterr().err.splitlines())


@pytest.mark.parametrize("command, step", CASES, ids=[case[0] for case in CASES])
def test_frames_equal_the_command_lines(ctl, capsys, qcf, command, step):
    path = qcf(GOLDEN)
    expected = ctl_frames(ctl, command.format(path=path))
    assert any("->" in line for line in expected)
    assert python_frames(capsys, step, path) == expected
