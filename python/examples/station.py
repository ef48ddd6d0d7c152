"""A production station for one QE7204 unit, as pytest tests: one test per step, the
adapter opened once for the whole unit.

    QE7204_GOLDEN=golden.qcf pytest -x station.py

-x stops at the first step that fails: every step needs the ones before it. Settings:

    QE7204_GOLDEN        the golden configuration, a 16-byte .qcf file      (required)
    QE7204_LOGS          folder for the unit's .qcf and its readouts' CSV    (default: logs)
    QE7204_SERIAL        the adapter's serial number                   (default: first free)
    QE7204_DRIVER        auto, d2xx, tty or libftdi                          (default: auto)
    QE7204_SIMULATE      1: a simulated adapter and unit instead of hardware
    QE7204_READOUTS      readouts logged                                     (default: 1000)
    QE7204_INTERVAL_MS   one readout every ... ms                              (default: 50)
    QE7204_MAGNET_TURNS  turns of the shaft for the magnet check; 0 skips it  (default: 0)
    QE7204_TRACE         1: every frame on stderr (run pytest with -s to see it)
"""

import csv
import datetime
import os
import pathlib

import pytest

import qe7204

GOLDEN = pathlib.Path(os.environ["QE7204_GOLDEN"])
LOGS = pathlib.Path(os.environ.get("QE7204_LOGS", "logs"))
READOUTS = int(os.environ.get("QE7204_READOUTS", "1000"))
INTERVAL_MS = int(os.environ.get("QE7204_INTERVAL_MS", "50"))
MAGNET_TURNS = int(os.environ.get("QE7204_MAGNET_TURNS", "0"))
UNIT = datetime.datetime.now(datetime.timezone.utc).strftime("%Y%m%dT%H%M%SZ")


@pytest.fixture(scope="module")
def chip():
    """The unit's chip, on one adapter held from the first step to the last."""
    with qe7204.open(serial=os.environ.get("QE7204_SERIAL"),
                     driver=os.environ.get("QE7204_DRIVER", "auto"),
                     simulate=os.environ.get("QE7204_SIMULATE") == "1",
                     trace=os.environ.get("QE7204_TRACE") == "1") as opened:
        yield opened


def test_one_chip_answers(chip):
    assert chip.scan() == [chip.address]


def test_golden_configuration_loaded(chip):
    chip.load(GOLDEN)  # refused unless it is exactly 16 bytes
    assert chip.diff(GOLDEN) == []


def test_stored_in_the_eeprom(chip):
    chip.prog()  # reads the EEPROM back: NotVerified unless it holds the working settings
    assert all(field.eeprom_value == field.value for field in chip.fields().values())


def test_kept_through_a_power_cycle(chip):
    chip.power(False)
    assert chip.power(True) == [chip.address]
    assert chip.diff(GOLDEN) == []


def test_configuration_kept_with_the_logs(chip):
    LOGS.mkdir(parents=True, exist_ok=True)
    kept = LOGS / f"{UNIT}.qcf"
    chip.save(kept, force=True)  # a unit tested again keeps its latest
    assert kept.read_bytes() == GOLDEN.read_bytes()


@pytest.mark.skipif(MAGNET_TURNS == 0, reason="QE7204_MAGNET_TURNS is 0")
def test_magnet_mounted_well(chip):
    report = chip.magnet_check(turns=MAGNET_TURNS, timeout_s=60 + 30 * MAGNET_TURNS)
    assert report["verdict"] != "bad", report["advice"]


def test_readouts_logged(chip):
    log = LOGS / f"{UNIT}.csv"
    readouts = chip.readouts(count=READOUTS, interval_ms=INTERVAL_MS)
    out_of_range = 0
    with log.open("w", newline="") as file:
        rows = csv.writer(file)
        rows.writerow(["time", "elapsed_s", "counts", "degrees", "absolute", "hz",
                       "magnet_status", "agc_percent"])
        for r in readouts:
            rows.writerow([r.time.isoformat(timespec="milliseconds"), f"{r.elapsed_s:.3f}",
                           r.counts, f"{r.degrees:.2f}", r.absolute, f"{r.hz:.2f}",
                           r.magnet_status, f"{r.agc_percent:.1f}"])
            out_of_range += r.magnet_status != 0
    assert readouts.count == READOUTS
    assert readouts.gaps == 0, f"{readouts.gaps} readouts got no reply"
    assert out_of_range == 0, f"the magnet left its range in {out_of_range} readouts"
