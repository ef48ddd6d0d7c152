"""The station example programs and verifies a simulated unit and logs 1,000 readouts, in
one process with one open of the adapter."""

import os
import pathlib
import subprocess
import sys

import qe7204

STATION = pathlib.Path(__file__).parents[2] / "python" / "examples" / "station.py"
DOCS = pathlib.Path(__file__).parents[2] / "docs" / "python.md"


def make_golden(path):
    with qe7204.open(simulate=True) as chip:
        chip.set(Res=1024, Dact="Tacho", Sth=64)
        chip.save(path)


def run_station(tmp_path, **settings):
    env = dict(os.environ, QE7204_GOLDEN=str(tmp_path / "golden.qcf"),
               QE7204_LOGS=str(tmp_path / "logs"), QE7204_SIMULATE="1", QE7204_TRACE="1",
               **settings)
    return subprocess.run([sys.executable, "-m", "pytest", "-x", "-s", "-q", "-p",
                           "no:cacheprovider", str(STATION)],
                          capture_output=True, text=True, env=env, timeout=300)


def frames(run, text):
    """The trace lines that end with `text`."""
    return [line for line in run.stderr.splitlines() if line.endswith(text)]


def test_station_programs_verifies_and_logs_one_unit(tmp_path):
    make_golden(tmp_path / "golden.qcf")
    run = run_station(tmp_path, QE7204_INTERVAL_MS="1")
    assert run.returncode == 0, run.stdout + run.stderr
    assert "6 passed, 1 skipped" in run.stdout
    assert len(frames(run, 'open by serial "QE000001"')) == 1
    assert len(frames(run, " close")) == 1
    (csv,) = (tmp_path / "logs").glob("*.csv")
    rows = csv.read_text().splitlines()
    assert len(rows) == 1 + 1000
    (kept,) = (tmp_path / "logs").glob("*.qcf")
    assert kept.read_bytes() == (tmp_path / "golden.qcf").read_bytes()


def test_station_refuses_a_short_golden_file(tmp_path):
    (tmp_path / "golden.qcf").write_bytes(bytes(4))
    run = run_station(tmp_path, QE7204_READOUTS="10")
    assert run.returncode != 0
    assert "FileRefused" in run.stdout and "4 bytes, not 16 bytes" in run.stdout
    assert "1 failed, 1 passed" in run.stdout
    assert not [line for line in run.stderr.splitlines() if "write chip" in line]


def test_the_manual_shows_the_station_as_shipped():
    assert "```python\n" + STATION.read_text() + "```" in DOCS.read_text()
