"""Ctrl-C during readouts: KeyboardInterrupt between two readouts, and a clean close."""

import os
import signal
import subprocess
import sys
import textwrap

import pytest

# Readouts a second apart: the interrupt lands while the module waits for the next one.
CAUGHT = textwrap.dedent("""
    import qe7204
    with qe7204.open(simulate=True, trace=True) as chip:
        try:
            for readout in chip.readouts(interval_ms=1000):
                print("readout", flush=True)
        except KeyboardInterrupt:
            print("interrupted", flush=True)
        chip.set(Res=1024)
        print("still usable:", chip.get("Res").text, flush=True)
    print("closed:", chip.closed, flush=True)
""")

UNCAUGHT = textwrap.dedent("""
    import qe7204
    with qe7204.open(simulate=True, trace=True) as chip:
        for readout in chip.readouts(interval_ms=1000):
            print("readout", flush=True)
""")


def interrupted_run(script):
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, env=os.environ.copy())
    try:
        assert child.stdout.readline() == "readout\n"
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=60)
    finally:
        child.kill()
    return child.returncode, "readout\n" + out, err


def frames(err):
    return [line.split(None, 2)[2] for line in err.splitlines() if line.startswith("trace ")]


def test_ctrl_c_stops_readouts_and_leaves_the_chip_usable():
    status, out, err = interrupted_run(CAUGHT)
    assert status == 0, err
    assert out.splitlines() == ["readout", "interrupted", "still usable: 1024", "closed: True"]
    assert frames(err)[-1] == "close"


def test_ctrl_c_uncaught_ends_the_script_with_the_adapter_closed():
    status, out, err = interrupted_run(UNCAUGHT)
    assert status != 0
    assert "KeyboardInterrupt" in err
    assert out == "readout\n"
    assert frames(err)[-1] == "close"
