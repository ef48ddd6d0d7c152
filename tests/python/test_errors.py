"""Failures raise exceptions with qe7204ctl's reasons, categories and exit statuses."""

import pytest

import qe7204

HIERARCHY = [
    # exception, its category class, category, exit status
    (qe7204.UsageError, qe7204.Error, "usage", 2),
    (qe7204.NoAdapter, qe7204.AdapterError, "adapter", 4),
    (qe7204.AdapterBusy, qe7204.AdapterError, "adapter", 4),
    (qe7204.NoPermission, qe7204.AdapterError, "adapter", 4),
    (qe7204.AdapterLost, qe7204.AdapterError, "adapter", 4),
    (qe7204.NoChip, qe7204.ChipError, "chip", 5),
    (qe7204.TooManyChips, qe7204.ChipError, "chip", 5),
    (qe7204.NoReply, qe7204.ChipError, "chip", 5),
    (qe7204.ChipRefused, qe7204.ChipError, "chip", 5),
    (qe7204.NotVerified, qe7204.ChipError, "chip", 5),
    (qe7204.MagnetCheckFailed, qe7204.ChipError, "chip", 5),
    (qe7204.FileRefused, qe7204.Error, "file", 6),
]


@pytest.mark.parametrize("exception, parent, category, status", HIERARCHY)
def test_every_exception_has_its_category_and_exit_status(exception, parent, category, status):
    assert issubclass(exception, parent) and issubclass(exception, qe7204.Error)
    assert (exception.category, exception.exit_status) == (category, status)
    assert exception.__module__ == "qe7204" and exception.__doc__


def test_usage_errors_are_value_errors_too():
    assert issubclass(qe7204.UsageError, ValueError)


@pytest.mark.parametrize("call, reason", [
    (lambda chip: chip.get("Speed"), "unknown field 'Speed'; fields: ADDR, Reg35, Pdee, Pdtr"),
    (lambda chip: chip.set(Res=1000), "Res takes 4096, 2048, 1024, 512, 256, 128, 64, 32 or a "
                                      "raw value 0, 1, 2, 3, 4, 5, 6, 7, not '1000'"),
    (lambda chip: chip.set(MONAGC=1), "MONAGC is shown but never changed"),
    (lambda chip: chip.set(Res=True), "Res takes a number or a text, not bool"),
    (lambda chip: chip.zero(4096), "Zin takes a number from 0 to 4095, not '4096'"),
    (lambda chip: chip.hysteresis(-1), "Hyst takes a number from 0 to 127, not '-1'"),
    (lambda chip: setattr(chip, "address", 128), "ADDR takes a number from 0 to 127, not '128'"),
    (lambda chip: chip.readouts(interval_ms=0), "interval_ms takes 1 to 86400000"),
    (lambda chip: chip.readouts(rate="fast"),
     "rate takes \"max\" or readouts a second from 1 to 100000, not 'fast'"),
    (lambda chip: chip.readouts(rate=0.5),
     "rate takes \"max\" or readouts a second from 1 to 100000, not 0.5"),
    (lambda chip: chip.readouts(rate=True),
     "rate takes \"max\" or readouts a second from 1 to 100000, not True"),
    (lambda chip: chip.readouts(rate="max", interval_ms=10), "interval_ms and rate: give one"),
    (lambda chip: chip.readouts(in_flight=4), "in_flight and latency_ms need a rate"),
    (lambda chip: chip.readouts(rate="max", in_flight=17), "in_flight takes 1 to 16, not 17"),
    (lambda chip: chip.readouts(rate=500, in_flight=2), "in_flight needs rate=\"max\""),
    (lambda chip: chip.readouts(rate="max", latency_ms=3), "latency_ms takes 1 or 2, not 3"),
    (lambda chip: chip.magnet_check(turns=0), "turns takes 1 to 50"),
])
def test_arguments_are_refused_before_anything_is_sent(chip, capsys, call, reason):
    chip.trace = True
    with pytest.raises(qe7204.UsageError) as raised:
        call(chip)
    assert raised.value.reason.startswith(reason)
    assert str(raised.value) == raised.value.reason
    assert capsys.readouterr().err == ""


@pytest.mark.parametrize("size, reason", [
    (0, "0 bytes, not 16 bytes"),
    (4, "4 bytes, not 16 bytes"),
    (17, "17 bytes, not 16 bytes"),
])
@pytest.mark.parametrize("method", ["load", "diff"])
def test_a_qcf_file_must_hold_exactly_16_bytes(chip, qcf, capsys, size, reason, method):
    path = qcf(bytes(range(size)))
    chip.trace = True
    with pytest.raises(qe7204.FileRefused, match=f"{path}: {reason}"):
        getattr(chip, method)(path)
    assert capsys.readouterr().err == ""  # nothing reached the chip
    assert chip.get("Res").text == "4096"


def test_a_missing_file_is_refused_with_the_tools_text(chip, tmp_path):
    with pytest.raises(qe7204.FileRefused, match="absent.qcf: File not found"):
        chip.load(tmp_path / "absent.qcf")
    with pytest.raises(qe7204.FileRefused, match="File not found"):
        chip.save(tmp_path / "no" / "such" / "folder.qcf")


@pytest.mark.parametrize("arguments, exception, reason", [
    ({"serial": "QE999999"}, qe7204.NoAdapter, "no QE7204 adapter with serial number QE999999"),
    ({"chips": 0}, qe7204.NoChip, "no chip answers on the bus"),
    ({"chips": 2}, qe7204.TooManyChips,
     "It is not allowed to connected more than one QE7204! Chips answer at 0, 1; "
     "choose one with --address."),
    ({"chips": 2, "address": 5}, qe7204.NoChip, "no chip answers at address 5 (chips at 0, 1)"),
    ({"driver": "serial"}, qe7204.UsageError, "driver takes auto|d2xx|tty|libftdi|sim, not 'serial'"),
    ({"magnet_speed": 3000}, qe7204.UsageError, "magnet_speed takes turns per second from -2500"),
    ({"magnet_tilt": 16}, qe7204.UsageError, "magnet_tilt takes AGC levels from 0 to 15"),
    ({"magnet_off_centre": -1}, qe7204.UsageError, "magnet_off_centre takes counts from 0 to 1024"),
    ({"chips": 5}, qe7204.UsageError, "chips takes a number from 0 to 4"),
    ({"reply_timeout_ms": 0}, qe7204.UsageError,
     "reply_timeout_ms takes milliseconds from 1 to 60000, not 0"),
])
def test_open_tells_why_no_chip_could_be_had(arguments, exception, reason):
    with pytest.raises(exception) as raised:
        qe7204.open(simulate=True, **arguments)
    assert raised.value.reason == reason or raised.value.reason.startswith(reason)


def test_simulation_options_need_simulate():
    with pytest.raises(qe7204.UsageError, match="need simulate=True"):
        qe7204.open(magnet_speed=1)


def test_an_unplugged_adapter_is_lost_not_a_bad_part(chip):
    chip.simulator.unplug()
    with pytest.raises(qe7204.AdapterLost, match="the adapter QE000001 stopped answering"):
        chip.set(Res=1024)
    with pytest.raises(qe7204.AdapterLost):
        next(iter(chip.readouts()))


def test_a_refused_write_is_the_chips(chip):
    chip.simulator.refuse_writes_to(51)
    with pytest.raises(qe7204.ChipRefused, match="Reslution change was unsuccessful."):
        chip.set(Res=1024)
    chip.simulator.clear_faults()
    chip.set(Res=1024)


def test_prog_refused_by_the_eeprom(chip):
    chip.simulator.refuse_writes_to(3)
    with pytest.raises(qe7204.ChipRefused, match="Can not write to the EEPROM"):
        chip.prog()


def test_a_magnet_that_does_not_turn_fails_the_check_in_time(chip):
    with pytest.raises(qe7204.MagnetCheckFailed, match="the shaft turned 0.00 of 1 turn in 1 s"):
        chip.magnet_check(turns=1, timeout_s=0.5)
