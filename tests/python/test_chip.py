"""The main paths of every call on a chip, on the simulated adapter."""

import datetime
import pathlib
import threading

import pytest

import qe7204

FIELD_NAMES = ["ADDR", "Reg35", "Pdee", "Pdtr", "AGCdis", "Pdint", "Zin", "Sign", "MONAGC",
               "BufSel", "Abridis", "Hyst", "Res", "UVW", "Sth", "SSIcfg", "Dac", "Dact"]


def test_adapters_lists_the_simulated_one():
    (adapter,) = qe7204.adapters("sim")
    assert (adapter.serial, adapter.description, adapter.backend, adapter.free) == (
        "QE000001", "QE7204 interface", "sim", True)


def test_open_holds_the_adapter_and_reads_the_chip(chip):
    assert not chip.closed
    assert chip.serial == "QE000001"
    assert chip.address == 0
    assert chip.simulator is not None
    assert chip.scan() == [0]


def test_close_ends_every_call():
    chip = qe7204.open(simulate=True)
    chip.close()
    assert chip.closed
    with pytest.raises(qe7204.UsageError, match="the chip is closed"):
        chip.get("Res")


def test_fields_cover_words_48_to_51_in_register_order(chip):
    fields = chip.fields()
    assert list(fields) == FIELD_NAMES
    res = fields["Res"]
    assert (res.name, res.value, res.text, res.eeprom_value, res.eeprom_text) == (
        "Res", 0, "4096", 0, "4096")


def test_get_takes_any_letter_case(chip):
    assert chip.get("res").text == chip.get("Res").text == "4096"
    assert str(chip.get("Dact")) == "Linear voltage"


@pytest.mark.parametrize("values, texts", [
    ({"Res": 1024}, {"Res": "1024"}),
    ({"Res": "1024", "Dact": "Tacho", "Sth": 16}, {"Res": "1024", "Dact": "Tacho", "Sth": "16"}),
    ({"Pdtr": "1:512", "Hyst": 10, "Zin": 100}, {"Pdtr": "1:512", "Hyst": "10 (0.88\u00b0)",
                                                  "Zin": "100"}),
    # An item text wins over a raw value, as on the command line; 0x is always raw.
    ({"UVW": 1}, {"UVW": "1"}),
    ({"UVW": "0x1"}, {"UVW": "2"}),
])
def test_set_changes_fields_and_returns_what_the_chip_holds(chip, values, texts):
    changed = chip.set(**values)
    assert {name: field.text for name, field in changed.items()} == texts
    assert list(changed) == list(values)
    assert {name: chip.get(name).text for name in values} == texts


def test_set_checks_every_value_before_the_first_write(chip):
    with pytest.raises(qe7204.UsageError, match="Sth takes"):
        chip.set(Res=1024, Sth="fast")
    assert chip.get("Res").text == "4096"


def test_address_moves_the_chip(chip):
    chip.address = 7
    assert chip.address == 7
    assert chip.get("ADDR").value == 7
    assert chip.scan() == [7]


def test_zero_and_hysteresis(chip):
    assert chip.zero(1234) == 1234
    assert chip.get("Zin").value == 1234
    current = chip.zero_current()
    assert chip.get("Zin").value == current
    chip.hysteresis(10)
    assert chip.get("Hyst").value == 10


def test_prog_stores_the_settings_through_a_power_cycle(chip):
    chip.set(Res=1024, Dact="Tacho")
    chip.prog()
    assert chip.get("Res").eeprom_text == "1024"
    assert chip.power(False) == []
    assert chip.power(True) == [0]
    assert chip.get("Res").text == "1024"
    assert chip.get("Dact").text == "Tacho"


def test_read_eeprom_brings_back_the_stored_settings(chip):
    chip.set(Res=1024)
    chip.prog()
    chip.set(Res=4096)
    assert chip.read_eeprom() == 0
    assert chip.get("Res").eeprom_text == "1024"


def test_save_load_and_diff(chip, tmp_path):
    golden = tmp_path / "golden.qcf"
    chip.set(Res=1024, Sth=16)
    chip.save(golden)
    assert len(golden.read_bytes()) == 16
    assert chip.diff(golden) == []

    chip.set(Res=4096)
    field, word = chip.diff(str(golden))
    assert (field.name, field.file_text, field.chip_text) == ("Res", "1024", "4096")
    assert (word.name, word.file_value, word.chip_value) == ("word51", 0x01C2, 0x01C0)

    golden.chmod(0o444)  # a golden file is often read-only; load only reads it
    chip.load(pathlib.Path(golden))
    assert chip.get("Res").text == "1024"
    assert chip.diff(golden) == []


def test_readouts_are_paced_and_stamped(chip):
    before = datetime.datetime.now(datetime.timezone.utc)
    readouts = chip.readouts(count=4, interval_ms=20)
    taken = list(readouts)
    assert len(taken) == 4 and readouts.count == 4 and readouts.gaps == 0
    # On the grid of the interval, catching up after a late one as the window's poll does.
    assert all(readout.elapsed_s >= 0.020 * i for i, readout in enumerate(taken))
    for earlier, later in zip(taken, taken[1:]):
        assert later.time >= earlier.time >= before
    first = taken[0]
    assert first.elapsed_s < 0.01
    assert first.time.tzinfo is datetime.timezone.utc
    assert first.resolution == 4096
    assert first.magnet == "Magnet in range" and first.magnet_status == 0
    assert 0 <= first.absolute < 4096
    assert first.hz == 0.0 and first.rpm == 0.0
    assert 0.0 < first.agc_percent <= 100.0
    assert not (first.rel_pos_alarm or first.abs_pos_alarm or first.tacho_alarm)


def test_readouts_follow_the_resolution(chip):
    chip.set(Res=1024)
    (readout,) = chip.readouts(count=1)
    assert readout.resolution == 1024


def test_a_lost_reply_is_a_gap(chip):
    chip.simulator.lose_next_reply()
    readouts = chip.readouts(count=2, interval_ms=1)
    assert len(list(readouts)) == 2
    assert readouts.gaps == 1


def test_save_refuses_a_file_already_there_unless_forced(chip, qcf):
    path = qcf(bytes(16))
    chip.set(Res=1024)
    with pytest.raises(qe7204.FileRefused, match="unit.qcf: the file exists; force=True replaces it"):
        chip.save(path)
    assert path.read_bytes() == bytes(16)
    chip.save(path, force=True)
    assert chip.diff(path) == []


@pytest.mark.parametrize("reply_timeout_ms, gaps", [(None, 0), (20, 1)])
def test_reply_timeout_is_the_least_wait_for_any_reply(reply_timeout_ms, gaps):
    # 40 ms late: within the command line's default wait, past a wait of 20 ms.
    with qe7204.open(simulate=True, magnet_speed=0, reply_timeout_ms=reply_timeout_ms) as chip:
        chip.simulator.delay_next_reply(40)
        readouts = chip.readouts(count=1)
        assert len(list(readouts)) == 1
        assert readouts.gaps == gaps


def test_magnet_check_reports_as_the_command_line_does():
    with qe7204.open(simulate=True, magnet_speed=2.0, magnet_off_centre=20,
                     magnet_off_centre_phase=30, magnet_tilt=3) as chip:
        report = chip.magnet_check(turns=1, timeout_s=30)
    assert report["turns"] == 1
    assert (report["adapter_serial"], report["chip_address"]) == ("QE000001", 0)
    assert report["tool_version"] == qe7204.__version__
    assert report["samples"] >= 8
    assert report["verdict"] in ("marginal", "bad")
    assert report["error_first_harmonic_counts"] == pytest.approx(20, abs=3)
    assert report["agc_ripple"] > 1.0


def test_two_chips_one_chosen_by_address():
    with qe7204.open(simulate=True, chips=2, address=1) as chip:
        assert chip.address == 1
        assert chip.scan() == [0, 1]
        chip.set(Res=1024)
        assert chip.get("Res").text == "1024"


def test_trace_prints_every_frame_while_on(chip, capsys):
    capsys.readouterr()
    chip.trace = True
    chip.set(Res=1024)
    chip.trace = False
    chip.set(Res=4096)
    lines = capsys.readouterr().err.splitlines()
    assert [line.split(None, 2)[2] for line in lines] == [
        "-> 59 01 33  read chip 0 register 51",
        "<- 01 C0  word 0x01C0",
        "-> 59 00 33 01 C2  write chip 0 register 51 = 0x01C2",
        "<- 01  acknowledged",
        "-> 59 01 33  read chip 0 register 51",
        "<- 01 C2  word 0x01C2",
    ]
    assert all(line.startswith("trace ") for line in lines)


def test_help_reads_like_the_manual():
    text = qe7204.Chip.__doc__
    assert "read-modify-write" in qe7204.Chip.set.__doc__
    assert "ADDR, Reg35" in text
    for name in ("scan", "power", "fields", "get", "set", "zero", "zero_current", "hysteresis",
                 "prog", "read_eeprom", "load", "save", "diff", "readouts", "magnet_check"):
        assert getattr(qe7204.Chip, name).__doc__, name


def test_other_threads_run_while_a_readout_is_awaited(chip):
    first, finished = threading.Event(), threading.Event()

    def watch():
        for _ in chip.readouts(count=2, interval_ms=3000):
            first.set()
        finished.set()

    watcher = threading.Thread(target=watch)
    watcher.start()
    assert first.wait(30)
    # The watcher waits three seconds for its second readout; this thread meanwhile opens
    # and reads a chip of its own.
    with qe7204.open(simulate=True) as other:
        assert other.get("Res").text == "4096"
    assert not finished.is_set()
    watcher.join(30)
    assert finished.is_set()
