"""A station in Python stores its units in a SQLite file, and keeps them while it cannot."""

import sqlite3

import pytest

import qe7204


def record(result="pass"):
    return {
        "format": 1,
        "tool_version": "1.0.0.1",
        "started": "2026-12-10T08:00:00.000Z",
        "adapter": {"serial": "QE000001", "backend": "sim"},
        "chip_address": 0,
        "golden": {"file": "golden.qcf", "sha256": "ab" * 32},
        "words": {"written": list(range(8)), "eeprom_words_written": 8,
                  "read_back": {"working": list(range(8)), "eeprom": list(range(8))},
                  "after_power_cycle": None},
        "steps": [{"step": "load", "result": "ok", "duration_ms": 40},
                  {"step": "prog", "result": "ok" if result == "pass" else "failed",
                   "duration_ms": 90}],
        "magnet": {"verdict": "good", "error_first_harmonic_counts": 1.2},
        "log": None,
        "result": result,
        "exit_status": 0 if result == "pass" else 5,
        "failed_step": None if result == "pass" else "prog",
        "reason": None if result == "pass" else "Can not write to the EEPROM",
    }


def rows(path, sql):
    with sqlite3.connect(path) as db:
        return db.execute(sql).fetchall()


def test_a_unit_is_stored_once(tmp_path):
    url = f"sqlite:{tmp_path / 'units.db'}"
    spool = str(tmp_path / "spool.jsonl")
    first = qe7204.record_unit(url, record(), station="py-1", spool=spool)
    assert first["stored"] and not first["spooled"]
    again = qe7204.record_unit(url, record(), station="py-1", unit_id=first["unit_id"],
                               spool=spool)
    assert again["stored"]
    qe7204.record_unit(url, record("fail"), station="py-1", spool=spool)
    assert rows(tmp_path / "units.db",
                "SELECT station, passed, failed_step FROM units ORDER BY passed") == [
        ("py-1", 0, "prog"), ("py-1", 1, None)]
    assert rows(tmp_path / "units.db", "SELECT COUNT(*) FROM unit_steps") == [(4,)]


def test_a_record_the_database_cannot_take_waits_in_the_spool(tmp_path):
    url = f"sqlite:{tmp_path / 'later' / 'units.db'}"
    spool = str(tmp_path / "spool.jsonl")
    kept = qe7204.record_unit(url, record(), spool=spool)
    assert not kept["stored"] and kept["spooled"] and kept["error"]
    (tmp_path / "later").mkdir()
    sent = qe7204.record_unit(url, record(), spool=spool)
    assert sent["stored"] and sent["flushed"] == 1
    assert rows(tmp_path / "later" / "units.db", "SELECT COUNT(*) FROM units") == [(2,)]


def test_a_url_it_cannot_read_is_a_usage_error(tmp_path):
    with pytest.raises(qe7204.UsageError):
        qe7204.record_unit("mysql://db/units", record(), spool=str(tmp_path / "s.jsonl"))
