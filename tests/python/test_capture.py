"""readouts(rate=...): a capture at the speed of the link for the iterator's life, and the
adapter's designed 16 ms latency timer back however the iteration ends."""

import _thread
import gc
import threading

import pytest

import qe7204

DESIGNED_MS = 16
CAPTURE_MS = 2


# Each ending takes the one reference to the iterator from `held`, so that dropping it
# leaves the iterator to the collector.
def interrupted(chip, held):
    """Ctrl-C while the next readout is awaited (a second away at rate=1)."""
    threading.Timer(0.2, _thread.interrupt_main).start()
    with pytest.raises(KeyboardInterrupt):
        next(held[0])


def collected(chip, held):
    held.clear()
    gc.collect()


def left_by_break(chip, held):
    for _ in held.pop():
        break


def exhausted(chip, held):
    assert len(list(held[0])) == 4


ENDINGS = [
    # how the iteration ends, the rate it reads at
    ("closed", lambda chip, held: held[0].close(), "max"),
    ("with block", lambda chip, held: held[0].__exit__(None, None, None), "max"),
    ("exhausted", exhausted, "max"),
    ("collected", collected, "max"),
    ("left by break", left_by_break, "max"),
    ("KeyboardInterrupt", interrupted, 1),
]


@pytest.mark.parametrize("ending, end, rate", ENDINGS, ids=[case[0] for case in ENDINGS])
def test_the_designed_latency_timer_is_back_however_the_capture_ends(chip, ending, end, rate):
    simulator = chip.simulator
    held = [chip.readouts(count=5, rate=rate)]
    assert simulator.latency_ms == DESIGNED_MS  # nothing changed before the first readout
    next(held[0])
    assert simulator.latency_ms == CAPTURE_MS
    assert (held[0].in_flight, held[0].latency_ms) == (1, CAPTURE_MS)
    end(chip, held)
    assert simulator.latency_ms == DESIGNED_MS
    # The chip reads on at the designed pace, and a new capture may begin.
    assert len(list(chip.readouts(count=2, interval_ms=1))) == 2
    assert len(list(chip.readouts(count=2, rate="max"))) == 2
    assert simulator.latency_ms == DESIGNED_MS


def test_an_adapter_lost_mid_capture_raises_and_a_new_open_has_the_designed_timer():
    with qe7204.open(simulate=True, magnet_speed=0) as chip:
        readouts = chip.readouts(rate="max")
        next(readouts)
        chip.simulator.unplug()
        with pytest.raises(qe7204.AdapterLost):
            next(readouts)
    with qe7204.open(simulate=True, magnet_speed=0) as chip:
        assert chip.simulator.latency_ms == DESIGNED_MS


def test_closing_the_chip_ends_its_capture_before_the_adapter_goes(chip, capsys):
    chip.trace = True
    readouts = chip.readouts(rate="max")
    next(readouts)
    chip.close()
    frames = [line.split(None, 2)[2] for line in capsys.readouterr().err.splitlines()]
    assert frames[-2:] == ["latency timer 16 ms", "close"]
    with pytest.raises(qe7204.UsageError, match="the chip is closed"):
        next(readouts)
    del readouts  # nothing left to put back, nothing raised


def test_one_capture_at_a_time_on_a_chip(chip):
    first = chip.readouts(rate="max")
    next(first)
    second = chip.readouts(rate="max")
    with pytest.raises(qe7204.UsageError, match="another readouts\\(\\) of this chip captures"):
        next(second)
    first.close()
    assert next(second).resolution == 4096
    assert chip.simulator.latency_ms == CAPTURE_MS
    second.close()
    assert chip.simulator.latency_ms == DESIGNED_MS


def test_a_refused_latency_timer_is_a_note_and_the_capture_runs_at_2_ms(chip):
    # The simulated adapter, as the vendor's library for most chips, takes 2 ms at the least.
    with chip.readouts(count=3, rate="max", latency_ms=1) as readouts:
        assert len(list(readouts)) == 3
        assert readouts.latency_ms == CAPTURE_MS
        assert readouts.notes == [
            "the adapter refused a latency timer of 1 ms (status 6); capturing at 2 ms"]
    assert chip.simulator.latency_ms == DESIGNED_MS


@pytest.fixture
def wired(monkeypatch):
    """A chip on the simulated adapter at a real one's pace: wire time, the latency timer."""
    monkeypatch.delenv("QE7204_SIM_INSTANT")
    with qe7204.open(simulate=True, magnet_speed=0) as opened:
        yield opened


def test_readouts_follow_each_other_without_the_designed_pace(wired):
    taken = list(wired.readouts(count=20, rate="max", in_flight=8))
    # At the designed pace the last would be asked 0.95 s after the first.
    assert taken[-1].elapsed_s < 0.5
    assert all(a.elapsed_s < b.elapsed_s for a, b in zip(taken, taken[1:]))


def test_a_counted_capture_asks_for_no_more_readouts_than_it_yields(wired, capsys):
    wired.trace = True
    assert len(list(wired.readouts(count=20, rate="max", in_flight=8))) == 20
    requests = [line for line in capsys.readouterr().err.splitlines()
                if line.endswith("read outputs of chip 0")]
    assert len(requests) == 8 + 20  # the probe's eight, then one a readout


def test_another_exchange_mid_capture_gets_its_own_reply(wired):
    # Requests in flight are given up first: their replies are not taken for the change's.
    readouts = wired.readouts(rate="max", in_flight=8)
    next(readouts)
    assert readouts.in_flight == 8
    assert wired.set(Res=1024)["Res"].text == "1024"
    assert next(readouts).resolution == 1024
    readouts.close()
    assert wired.get("Res").text == "1024" and wired.simulator.latency_ms == DESIGNED_MS
