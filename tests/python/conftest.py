"""Fixtures of the Python module's tests: a chip on a fresh simulated adapter, and files."""

import os
import pathlib

import pytest

import qe7204

# The magnet stands still unless a test turns it, so that readouts repeat exactly.
STILL = 0.0


@pytest.fixture(autouse=True)
def instant_replies(monkeypatch):
    """The simulated adapter answers at once, here and in the qe7204ctl a test runs: on a busy
    machine a reply at a real adapter's pace may come late and make a retry the test did not
    ask for."""
    monkeypatch.setenv("QE7204_SIM_INSTANT", "1")


@pytest.fixture
def chip():
    with qe7204.open(simulate=True, magnet_speed=STILL) as opened:
        yield opened


@pytest.fixture
def qcf(tmp_path):
    """Writes a .qcf file of the given bytes and returns its path."""

    def write(data: bytes, name: str = "unit.qcf") -> pathlib.Path:
        path = tmp_path / name
        path.write_bytes(data)
        return path

    return write


@pytest.fixture
def ctl():
    """qe7204ctl as built beside the module."""
    return os.environ["QE7204CTL"]
