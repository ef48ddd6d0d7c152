// The Python module qe7204 over the chip core: the bindings of ChipFacade. Every call that
// may talk to the adapter lets go of the interpreter while it does, and calls on one chip
// from several threads take turns.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "adapter_link.h"
#include "chip_facade.h"
#include "exceptions.h"
#include "readout.h"
#include "records.h"
#include "simulated_adapter.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace qe::python {

namespace {

void printTrace(const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    py::object err = py::module_::import("sys").attr("stderr");
    for (const std::string& line : lines) err.attr("write")(line + "\n");
}

// A chip as Python holds it: the facade and the turn of the thread that uses it.
class PythonChip {
public:
    explicit PythonChip(std::unique_ptr<ChipFacade> facade) : facade_(std::move(facade)) {}

    ~PythonChip() {
        py::gil_scoped_release released;
        std::lock_guard lock(mutex_);
        facade_.reset();
    }

    // Runs `call` on the facade without the interpreter's lock, then prints the trace lines
    // it gathered. Ctrl-C stops the calls that look at `stop`, with KeyboardInterrupt.
    template <typename Call>
    auto run(Call call) {
        using Value = decltype(call(*facade_, ChipFacade::StopCheck{}));
        const ChipFacade::StopCheck stop = [] {
            py::gil_scoped_acquire acquired;
            return PyErr_CheckSignals() != 0;  // leaves the exception set for below
        };
        std::vector<std::string> traced;
        const Printed printed{traced};  // last: the interpreter is back by then
        try {
            py::gil_scoped_release released;
            std::lock_guard lock(mutex_);
            if (!facade_) throw Failure(FailureKind::Usage, "the chip is closed");
            const Taken taken{*facade_, traced};
            if constexpr (std::is_void_v<Value>)
                call(*facade_, stop);
            else
                return call(*facade_, stop);
        } catch (const Interrupted&) {
            throw py::error_already_set();
        }
        if constexpr (!std::is_void_v<Value>) return Value{};
    }

    void close() {
        run([](ChipFacade& chip, const auto&) { chip.close(); });
    }

    bool isOpen() {
        return run([](ChipFacade& chip, const auto&) { return chip.isOpen(); });
    }

private:
    // The trace lines of a call, taken while the call still holds the chip...
    struct Taken {
        ChipFacade& facade;
        std::vector<std::string>& lines;
        ~Taken() { lines = facade.takeTrace(); }
    };
    // ... and printed once the interpreter is back.
    struct Printed {
        std::vector<std::string>& lines;
        ~Printed() {
            try {
                printTrace(lines);
            } catch (const py::error_already_set&) {
                // stderr gone: the trace is lost, the call's own outcome is not
            }
        }
    };

    std::unique_ptr<ChipFacade> facade_;
    std::mutex mutex_;
};

using ChipHandle = std::shared_ptr<PythonChip>;

// A readout as the iterator yields it.
struct PythonReadout {
    TimedReadout timed;
    py::object time;  // datetime in UTC
};

py::object utcDateTime(chip::WallTime wallTime) {
    const auto us =
        std::chrono::duration_cast<std::chrono::microseconds>(wallTime.time_since_epoch()).count();
    py::module_ datetime = py::module_::import("datetime");
    py::object epoch =
        datetime.attr("datetime")(1970, 1, 1, "tzinfo"_a = datetime.attr("timezone").attr("utc"));
    return epoch + datetime.attr("timedelta")("microseconds"_a = us);
}

// The iterator readouts() returns: paced reads until the count is reached. With a capture
// asked for, the capture runs from its first readout until it is exhausted, closed, collected
// or an exception ends it; read on after that, it starts again.
class ReadoutIterator {
public:
    ReadoutIterator(ChipHandle chip, std::optional<long long> count, std::int64_t intervalNs,
                    std::optional<chip::CaptureOptions> capture)
        : chip_(std::move(chip)), capture_(capture) {
        pace_.loop.intervalNs = intervalNs;
        pace_.loop.count = count;
    }

    ~ReadoutIterator() {
        try {
            endCapture();
        } catch (const std::exception&) {
            // the chip gone with its adapter: nothing left to put back
        }
    }
    ReadoutIterator(const ReadoutIterator&) = delete;
    ReadoutIterator& operator=(const ReadoutIterator&) = delete;

    PythonReadout next() {
        if (closed_ || exhausted()) {
            endCapture();
            throw py::stop_iteration();
        }
        TimedReadout timed;
        try {
            timed = chip_->run([this](ChipFacade& chip, const ChipFacade::StopCheck& stop) {
                if (capture_ && state_.id == 0) state_ = chip.beginCapture(*capture_);
                return chip.nextReadout(pace_, stop);
            });
        } catch (...) {
            endCapture();
            throw;
        }
        if (exhausted()) endCapture();  // the timer back at once
        return {timed, utcDateTime(timed.sample.wallTime)};
    }

    void close() {
        closed_ = true;
        endCapture();
    }

    long long taken() const { return pace_.loop.readouts; }
    long long gaps() const { return pace_.loop.gaps; }
    const CaptureState& capture() const { return state_; }

private:
    bool exhausted() const { return pace_.loop.count && pace_.loop.readouts >= *pace_.loop.count; }
    void endCapture() {
        if (state_.id == 0) return;
        const std::uint64_t id = std::exchange(state_.id, 0);
        std::vector<std::string> notes =
            chip_->run([id](ChipFacade& chip, const auto&) { return chip.endCapture(id); });
        if (!notes.empty()) state_.notes = std::move(notes);
    }

    ChipHandle chip_;
    std::optional<chip::CaptureOptions> capture_;
    CaptureState state_;
    ReadoutPace pace_;
    bool closed_ = false;
};

// The simulated adapter behind a chip opened with simulate=True.
class PythonSimulator {
public:
    explicit PythonSimulator(ChipHandle chip) : chip_(std::move(chip)) {}

    template <typename Call>
    void onAdapter(Call call) {
        chip_->run([&](ChipFacade& chip, const auto&) {
            sim::SimulatedAdapter* adapter = chip.simulatedAdapter();
            if (adapter) call(*adapter);
        });
    }

private:
    ChipHandle chip_;
};

std::string valueText(const py::handle& value, const std::string& name) {
    if (py::isinstance<py::bool_>(value) ||
        !(py::isinstance<py::int_>(value) || py::isinstance<py::str>(value)))
        throw Failure(FailureKind::Usage,
                      name + " takes a number or a text, not " +
                          py::str(py::type::of(value).attr("__name__")).cast<std::string>());
    return py::str(value).cast<std::string>();
}

std::filesystem::path pathOf(const py::object& path) {
    return py::module_::import("os").attr("fsdecode")(path).cast<std::string>();
}

py::dict fieldDict(const std::vector<FieldEntry>& entries) {
    py::dict fields;
    for (const FieldEntry& entry : entries) fields[py::str(entry.name)] = entry;
    return fields;
}

// The pace of a capture asked for with rate: 0 for "max"; none without a rate.
std::optional<std::int64_t> captureInterval(const py::object& rate) {
    if (rate.is_none()) return std::nullopt;
    if (py::isinstance<py::str>(rate) && rate.cast<std::string>() == "max") return 0;
    const bool number = !py::isinstance<py::bool_>(rate) &&
                        (py::isinstance<py::int_>(rate) || py::isinstance<py::float_>(rate));
    const double hz = number ? rate.cast<double>() : 0.0;
    if (!(hz >= 1 && hz <= chip::kMaxCaptureRateHz))
        throw Failure(FailureKind::Usage, "rate takes \"max\" or readouts a second from 1 to " +
                                              chip::formatFixed(chip::kMaxCaptureRateHz, 0) +
                                              ", not " + py::repr(rate).cast<std::string>());
    return std::llround(1e9 / hz);
}

chip::CaptureOptions captureOptions(std::optional<int> inFlight, std::optional<int> latencyMs) {
    chip::CaptureOptions options;
    const auto most = static_cast<int>(AdapterLink::kMaxFramesInFlight);
    if (inFlight && (*inFlight < 1 || *inFlight > most))
        throw Failure(FailureKind::Usage, "in_flight takes 1 to " + std::to_string(most) +
                                              ", not " + std::to_string(*inFlight));
    if (latencyMs && *latencyMs != 1 && *latencyMs != 2)
        throw Failure(FailureKind::Usage,
                      "latency_ms takes 1 or 2, not " + std::to_string(*latencyMs));
    if (inFlight) options.inFlight = static_cast<std::size_t>(*inFlight);
    if (latencyMs) options.latencyMs = static_cast<std::uint8_t>(*latencyMs);
    return options;
}

constexpr const char* kModuleDoc =
    R"(The QE7204 magnetic rotary encoder and its USB adapter, from Python.

The same chip core as the qe7204-tool window and the qe7204ctl command line, byte
for byte: one open() holds the adapter for a whole station run, every call makes
the exchanges of the matching qe7204ctl command, and failures are exceptions with
qe7204ctl's reasons.

    import qe7204

    with qe7204.open(simulate=True) as chip:      # or open(serial="QE000001")
        chip.set(Res=1024, Dact="Tacho")
        chip.prog()
        for readout in chip.readouts(count=10):
            print(readout.time, readout.degrees, readout.magnet)

FUNCTIONS
    adapters(driver="auto")    the adapters attached: serial, description, backend, free
    open(...)                  a Chip holding one adapter, the chip powered and read

EXCEPTIONS
    Error                      every failure: reason, category, exit_status
      UsageError               an argument not understood; nothing sent (ValueError)
      AdapterError             NoAdapter, AdapterBusy, NoPermission, AdapterLost
      ChipError                NoChip, TooManyChips, NoReply, ChipRefused, NotVerified,
                               MagnetCheckFailed
      FileRefused              a .qcf file not read, written or of 16 bytes
    Ctrl-C stops a long call (readouts, magnet_check) with KeyboardInterrupt; the
    chip stays open and usable.
)";

constexpr const char* kChipDoc =
    R"(A QE7204 on an adapter held by this process, from open() to close().

Made by qe7204.open(). Use it in a with block, or call close(): until then no other
program (the window, qe7204ctl, another script) can have the adapter. Closing leaves
the chip powered, as qe7204ctl does.

The settings are the fields of the working registers 48..51, named as the chip's data
sheet names them (any letter case): ADDR, Reg35, Pdee, Pdtr, AGCdis, Pdint, Zin, Sign,
MONAGC, BufSel, Abridis, Hyst, Res, UVW, Sth, SSIcfg, Dac, Dact. Values are the settings
panel's texts ("1024", "Tacho", "0.7°" or "0.7") or numbers; a number is read as
qe7204ctl reads it: an item text first (UVW=1 is one pole pair), else the raw value
("0x1" is always raw).

Every method that changes the chip reads, modifies and writes back the word as the
window does, reads it back, and raises on failure: UsageError before anything is sent,
AdapterLost when the adapter went away, ChipRefused / NoReply / NotVerified when the
chip failed, FileRefused for a file. Calls from several threads take turns.
)";

}  // namespace

}  // namespace qe::python

using namespace qe;
using namespace qe::python;

PYBIND11_MODULE(_qe7204, module) {
    module.doc() = kModuleDoc;
    defineExceptions(module);
    defineRecords(module);
    module.attr("__version__") = QE7204_VERSION;

    py::class_<AdapterEntry>(module, "Adapter", "An attached adapter as adapters() lists it.")
        .def_readonly("serial", &AdapterEntry::serial, "The USB serial number, e.g. \"QE000001\".")
        .def_readonly("description", &AdapterEntry::description,
                      "The USB description, \"QE7204 interface\".")
        .def_readonly("backend", &AdapterEntry::backend,
                      "How it is reached: \"d2xx\", \"tty\", \"libftdi\" or \"sim\".")
        .def_readonly("free", &AdapterEntry::free, "False while another program holds it.")
        .def("__repr__", [](const AdapterEntry& a) {
            return "Adapter(serial='" + a.serial + "', description='" + a.description +
                   "', backend='" + a.backend + "', free=" + (a.free ? "True" : "False") + ")";
        });

    py::class_<FieldEntry>(module, "Field",
                           "A field of the working registers with the text the settings panel\n"
                           "shows, beside its stored copy in the EEPROM (words 0..3).")
        .def_readonly("name", &FieldEntry::name)
        .def_readonly("value", &FieldEntry::value, "The raw value of the field's bits.")
        .def_readonly("text", &FieldEntry::text, "As the settings panel shows it, e.g. \"1024\".")
        .def_readonly("eeprom_value", &FieldEntry::eepromValue,
                      "The same bits in the EEPROM copy, as last read.")
        .def_readonly("eeprom_text", &FieldEntry::eepromText)
        .def("__str__", [](const FieldEntry& f) { return f.text; })
        .def("__repr__", [](const FieldEntry& f) {
            return "Field(" + f.name + "='" + f.text + "', value=" + std::to_string(f.value) +
                   ", eeprom='" + f.eepromText + "')";
        });

    py::class_<Difference>(
        module, "Difference",
        "A field, or a whole word 48..55, that differs between a file and the chip\n"
        "(as qe7204ctl diff lists them).")
        .def_readonly("name", &Difference::name)
        .def_readonly("file_value", &Difference::fileValue)
        .def_readonly("file_text", &Difference::fileText)
        .def_readonly("chip_value", &Difference::chipValue)
        .def_readonly("chip_text", &Difference::chipText)
        .def("__repr__", [](const Difference& d) {
            return "Difference(" + d.name + ": file '" + d.fileText + "', chip '" + d.chipText +
                   "')";
        });

    py::class_<PythonReadout>(
        module, "Readout", "One read of the output registers 32..35, as the live readout shows it.")
        .def_readonly(
            "time", &PythonReadout::time,
            "When the request left for the chip (the chip samples then): a datetime in UTC.")
        .def_property_readonly(
            "elapsed_s", [](const PythonReadout& r) { return r.timed.askedSeconds; },
            "When the chip was asked, in seconds since the first readout of the stream.")
        .def_property_readonly(
            "counts", [](const PythonReadout& r) { return r.timed.sample.readout.counts; },
            "The relative position at the chosen resolution.")
        .def_property_readonly(
            "resolution", [](const PythonReadout& r) { return r.timed.sample.resolutionCounts; },
            "Counts per turn (Res), e.g. 4096.")
        .def_property_readonly(
            "degrees", [](const PythonReadout& r) { return r.timed.sample.readout.degrees; },
            "The relative position in degrees.")
        .def_property_readonly(
            "absolute", [](const PythonReadout& r) { return r.timed.sample.readout.absolute; },
            "The absolute position, 0..4095.")
        .def_property_readonly(
            "hz", [](const PythonReadout& r) { return r.timed.sample.readout.hertz; },
            "The speed in turns per second, from the chip's tacho.")
        .def_property_readonly("rpm",
                               [](const PythonReadout& r) { return r.timed.sample.readout.rpm; })
        .def_property_readonly(
            "magnet_status",
            [](const PythonReadout& r) { return r.timed.sample.readout.magnetStatus; },
            "0 in range, 1 too close, 2 too far, 3 error.")
        .def_property_readonly(
            "magnet",
            [](const PythonReadout& r) {
                return chip::magnetStatusText(r.timed.sample.readout.magnetStatus);
            },
            "The magnet status as the window shows it, e.g. \"Magnet in range\".")
        .def_property_readonly(
            "agc_percent", [](const PythonReadout& r) { return r.timed.sample.readout.agcPercent; })
        .def_property_readonly(
            "rel_pos_alarm",
            [](const PythonReadout& r) { return r.timed.sample.readout.relPosAlarm; })
        .def_property_readonly(
            "abs_pos_alarm",
            [](const PythonReadout& r) { return r.timed.sample.readout.absPosAlarm; })
        .def_property_readonly(
            "tacho_alarm", [](const PythonReadout& r) { return r.timed.sample.readout.tachoAlarm; })
        .def("__repr__", [](const PythonReadout& r) {
            const chip::Readout& o = r.timed.sample.readout;
            return "Readout(" + py::str(r.time.attr("isoformat")()).cast<std::string>() + ", " +
                   chip::countsText(o) + ", " + chip::degreesText(o) + ", " + chip::tachoText(o) +
                   ", " + chip::magnetStatusText(o.magnetStatus) + ", AGC " + chip::agcText(o) +
                   ")";
        });

    py::class_<ReadoutIterator>(
        module, "Readouts",
        "The iterator chip.readouts() returns. `count` is the readouts yielded\n"
        "so far; `gaps` the reads that got no reply (skipped, as the window\n"
        "shows \"...\"). 100 gaps in a row raise NoReply. With a rate, close() (or\n"
        "the end of a with block) ends the capture at once.")
        .def("__iter__", [](ReadoutIterator& it) -> ReadoutIterator& { return it; })
        .def("__next__", &ReadoutIterator::next)
        .def("__enter__", [](ReadoutIterator& it) -> ReadoutIterator& { return it; })
        .def("__exit__", [](ReadoutIterator& it, const py::args&) { it.close(); })
        .def("close", &ReadoutIterator::close,
             "Ends the iteration, and a capture with it: the adapter's latency timer is\n"
             "16 ms again. Later readouts raise StopIteration.")
        .def_property_readonly("count", &ReadoutIterator::taken)
        .def_property_readonly("gaps", &ReadoutIterator::gaps)
        .def_property_readonly(
            "in_flight",
            [](const ReadoutIterator& it) -> std::optional<std::size_t> {
                if (it.capture().inFlight == 0) return std::nullopt;
                return it.capture().inFlight;
            },
            "Requests the capture keeps on the line (None before its first readout or\n"
            "without a rate); 1 when the adapter did not take more (see notes).")
        .def_property_readonly(
            "latency_ms",
            [](const ReadoutIterator& it) -> std::optional<int> {
                if (it.capture().latencyMs == 0) return std::nullopt;
                return it.capture().latencyMs;
            },
            "The adapter's latency timer while the capture runs (None as in_flight).")
        .def_property_readonly(
            "notes", [](const ReadoutIterator& it) { return it.capture().notes; },
            "Where the capture runs with less than asked, or could not put the designed\n"
            "latency timer back: one line each, as qe7204ctl prints them.");

    py::class_<PythonSimulator>(module, "Simulator",
                                "The simulated adapter behind a chip opened with simulate=True:\n"
                                "faults on demand, so that a script's error handling can be tried.")
        .def(
            "unplug",
            [](PythonSimulator& s) { s.onAdapter([](sim::SimulatedAdapter& a) { a.unplug(); }); },
            "Pulls the USB cable: every later call raises AdapterLost.")
        .def(
            "lose_next_reply",
            [](PythonSimulator& s) {
                s.onAdapter([](sim::SimulatedAdapter& a) { a.loseNextReply(); });
            },
            "The adapter's next reply never comes.")
        .def(
            "delay_next_reply",
            [](PythonSimulator& s, int ms) {
                if (ms < 0 || ms > 60'000) throw Failure(FailureKind::Usage, "ms takes 0 to 60000");
                s.onAdapter([ms](sim::SimulatedAdapter& a) {
                    a.delayNextReply(static_cast<std::uint32_t>(ms));
                });
            },
            "ms"_a, "The adapter's next reply comes that many milliseconds late.")
        .def(
            "refuse_writes_to",
            [](PythonSimulator& s, int reg) {
                if (reg < 0 || reg > 255)
                    throw Failure(FailureKind::Usage, "register takes 0 to 255");
                s.onAdapter([reg](sim::SimulatedAdapter& a) {
                    a.refuseWritesTo(static_cast<std::uint8_t>(reg));
                });
            },
            "register"_a, "The chip refuses every write to that register (e.g. 0..3: the EEPROM).")
        .def_property_readonly(
            "latency_ms",
            [](PythonSimulator& s) {
                int ms = 0;
                s.onAdapter([&ms](sim::SimulatedAdapter& a) { ms = a.latencyTimerMs(); });
                return ms;
            },
            "The latency timer the simulated adapter holds, in ms (16 as designed).")
        .def(
            "clear_faults",
            [](PythonSimulator& s) {
                s.onAdapter([](sim::SimulatedAdapter& a) { a.clearFaults(); });
            },
            "Takes back every fault armed (not an unplug).");

    py::class_<PythonChip, ChipHandle>(module, "Chip", kChipDoc)
        .def("__enter__", [](ChipHandle chip) { return chip; })
        .def("__exit__", [](PythonChip& chip, const py::args&) { chip.close(); })
        .def("close", &PythonChip::close,
             "Lets the adapter go, the chip left powered. Calls after it raise UsageError.")
        .def_property_readonly("closed", [](PythonChip& chip) { return !chip.isOpen(); })
        .def_property_readonly(
            "serial",
            [](PythonChip& chip) {
                return chip.run([](ChipFacade& c, const auto&) { return c.adapterSerial(); });
            },
            "The serial number of the adapter held.")
        .def_property(
            "address",
            [](PythonChip& chip) {
                return chip.run([](ChipFacade& c, const auto&) { return c.chipAddress(); });
            },
            [](PythonChip& chip, int address) {
                chip.run([address](ChipFacade& c, const auto&) { c.setAddress(address); });
            },
            "The chip's bus address, 0..127. Setting it writes ADDR: the chip answers at the\n"
            "new address at once, and the EEPROM keeps it after prog().")
        .def_property(
            "trace",
            [](PythonChip& chip) {
                return chip.run([](ChipFacade& c, const auto&) { return c.trace(); });
            },
            [](PythonChip& chip, bool on) {
                chip.run([on](ChipFacade& c, const auto&) { c.setTrace(on); });
            },
            "True: every frame sent and received, decoded, on sys.stderr, as qe7204ctl --trace\n"
            "prints it (\"trace   12.345 -> 59 0A 30  read chip 5 register 48\").")
        .def_property_readonly(
            "simulator",
            [](ChipHandle chip) -> py::object {
                const bool simulated = chip->run(
                    [](ChipFacade& c, const auto&) { return c.simulatedAdapter() != nullptr; });
                if (!simulated) return py::none();
                return py::cast(PythonSimulator(chip));
            },
            "The simulated adapter (a Simulator) with simulate=True, else None.")
        .def(
            "scan",
            [](PythonChip& chip) {
                return chip.run([](ChipFacade& c, const auto&) { return c.scan(); });
            },
            "The bus addresses of the chips that answer, on the supply switched on.\n"
            "Raises NoChip when the adapter reports the supply off.")
        .def(
            "power",
            [](PythonChip& chip, bool on) {
                return chip.run([on](ChipFacade& c, const auto&) { return c.power(on).chips; });
            },
            "on"_a,
            "Switches the chip supply on (then scans the bus and reads the chip's registers)\n"
            "or off. Returns the addresses that answer after switching on, [] after off.")
        .def(
            "fields",
            [](PythonChip& chip) {
                return fieldDict(chip.run([](ChipFacade& c, const auto&) { return c.fields(); }));
            },
            "Every field of the working registers 48..51, as a dict of Field by name in\n"
            "register order, from the registers as last read (no exchange).")
        .def(
            "get",
            [](PythonChip& chip, const std::string& name) {
                return chip.run([&name](ChipFacade& c, const auto&) { return c.field(name); });
            },
            "name"_a, "One field as a Field: get(\"Res\").text == \"1024\". No exchange.")
        .def(
            "set",
            [](PythonChip& chip, const py::kwargs& values) {
                std::vector<std::pair<std::string, std::string>> changes;
                for (const auto& [key, value] : values) {
                    const std::string name = py::str(key).cast<std::string>();
                    changes.emplace_back(name, valueText(value, name));
                }
                return fieldDict(
                    chip.run([&changes](ChipFacade& c, const auto&) { return c.set(changes); }));
            },
            "Changes fields: set(Res=1024, Dact=\"Tacho\", Sth=16). Every value is checked\n"
            "before the first write (UsageError names the values the field takes); then each\n"
            "field is changed in the order given, by read-modify-write, as its control in the\n"
            "window changes it. Returns the fields changed as the chip now holds them.")
        .def(
            "zero",
            [](PythonChip& chip, int position) {
                return chip.run(
                    [position](ChipFacade& c, const auto&) { return c.zero(position); });
            },
            "position"_a, "Makes `position` (0..4095) the zero position (Zin); returns Zin.")
        .def(
            "zero_current",
            [](PythonChip& chip) {
                return chip.run(
                    [](ChipFacade& c, const auto&) { return c.zeroAtCurrentPosition(); });
            },
            "Makes the current absolute position the zero position; returns Zin.")
        .def(
            "hysteresis",
            [](PythonChip& chip, int value) {
                chip.run([value](ChipFacade& c, const auto&) { c.hysteresis(value); });
            },
            "value"_a, "Sets the digital hysteresis (Hyst, 0..127).")
        .def(
            "prog",
            [](PythonChip& chip) { chip.run([](ChipFacade& c, const auto&) { c.prog(); }); },
            "PROG: stores the working settings (words 48..51) in the EEPROM and reads them\n"
            "back. Raises NotVerified when the EEPROM does not hold them afterwards.")
        .def(
            "read_eeprom",
            [](PythonChip& chip) {
                return chip.run([](ChipFacade& c, const auto&) {
                    c.readEeprom();
                    return c.chipAddress();
                });
            },
            "READ: the settings back from the EEPROM into the working registers, the chip\n"
            "followed to the address its EEPROM holds. Returns that address.")
        .def(
            "load",
            [](PythonChip& chip, const py::object& path) {
                const std::filesystem::path file = pathOf(path);
                chip.run([&file](ChipFacade& c, const auto&) { c.load(file); });
            },
            "path"_a,
            "Writes a .qcf file into the working registers 48..55. The file must be exactly\n"
            "16 bytes (FileRefused otherwise, before anything is sent); it is only read.")
        .def(
            "save",
            [](PythonChip& chip, const py::object& path, bool force) {
                const std::filesystem::path file = pathOf(path);
                chip.run([&file, force](ChipFacade& c, const auto&) { c.save(file, force); });
            },
            "path"_a, "force"_a = false,
            "Writes the working registers 48..55 as a 16-byte .qcf file. A file already there\n"
            "is refused (FileRefused) unless force=True, which replaces it whole, as\n"
            "qe7204ctl save --force does.")
        .def(
            "diff",
            [](PythonChip& chip, const py::object& path) {
                const std::filesystem::path file = pathOf(path);
                return chip.run([&file](ChipFacade& c, const auto&) { return c.diff(file); });
            },
            "path"_a,
            "What differs between a 16-byte .qcf file and the working registers, as a list\n"
            "of Difference (the fields, then the whole words, as qe7204ctl diff lists them);\n"
            "[] when the chip holds the file's settings. No exchange: the registers as read.")
        .def(
            "readouts",
            [](ChipHandle chip, std::optional<long long> count, std::optional<int> intervalMs,
               const py::object& rate, std::optional<int> inFlight, std::optional<int> latencyMs) {
                if (count && *count < 0) throw Failure(FailureKind::Usage, "count takes 0 or more");
                if (intervalMs && (*intervalMs < 1 || *intervalMs > 24 * 3600 * 1000))
                    throw Failure(FailureKind::Usage, "interval_ms takes 1 to 86400000");
                const std::optional<std::int64_t> captureIntervalNs = captureInterval(rate);
                if (captureIntervalNs && intervalMs)
                    throw Failure(FailureKind::Usage, "interval_ms and rate: give one of them");
                if ((inFlight || latencyMs) && !captureIntervalNs)
                    throw Failure(FailureKind::Usage, "in_flight and latency_ms need a rate");
                std::optional<chip::CaptureOptions> capture;
                if (captureIntervalNs) capture = captureOptions(inFlight, latencyMs);
                if (capture && capture->inFlight > 1 && *captureIntervalNs != 0)
                    throw Failure(FailureKind::Usage, "in_flight needs rate=\"max\"");
                const std::int64_t intervalNs =
                    captureIntervalNs.value_or(std::int64_t{intervalMs.value_or(50)} * 1'000'000);
                return std::make_unique<ReadoutIterator>(std::move(chip), count, intervalNs,
                                                         capture);
            },
            "count"_a = py::none(), "interval_ms"_a = py::none(), py::kw_only(),
            "rate"_a = py::none(), "in_flight"_a = py::none(), "latency_ms"_a = py::none(),
            "An iterator of Readout, one every interval_ms (default 50: the window's pace;\n"
            "slower when the adapter takes longer), `count` of them or without end. A read\n"
            "without reply is a gap: counted in the iterator's `gaps` and skipped. Raises\n"
            "AdapterLost when the adapter goes, NoReply after 100 gaps in a row. Ctrl-C\n"
            "raises KeyboardInterrupt between two readouts; the chip stays open.\n"
            "\n"
            "rate=\"max\" reads at the speed of the link, rate=HZ (1..100000) that many\n"
            "readouts a second, as qe7204ctl watch --rate does: from the first readout on, the\n"
            "adapter's latency timer is 2 ms (latency_ms=1 on request) and, with rate=\"max\",\n"
            "in_flight requests (1..16, default 1) are kept on the line when the adapter\n"
            "takes them. The designed 16 ms is put back when the iterator is exhausted,\n"
            "closed or collected, or an exception (KeyboardInterrupt too) ends it.")
        .def(
            "magnet_check",
            [](PythonChip& chip, int turns, double timeoutSeconds) {
                if (turns < 1 || turns > 50)
                    throw Failure(FailureKind::Usage, "turns takes 1 to 50");
                const std::string json =
                    chip.run([&](ChipFacade& c, const ChipFacade::StopCheck& stop) {
                        return c.magnetCheck(turns, timeoutSeconds, stop);
                    });
                return py::module_::import("json").attr("loads")(json);
            },
            "turns"_a = 2, "timeout_s"_a = 60.0,
            "Judges how the magnet is mounted while the shaft turns `turns` times (by hand or\n"
            "a motor), from readouts at the window's pace. Returns the report as a dict, the\n"
            "same object as `qe7204ctl magnet-check --json` prints (verdict, agc_*, speed_rpm,\n"
            "error_*, advice, ...). Raises MagnetCheckFailed when the shaft did not turn far\n"
            "enough within timeout_s seconds.");

    module.def(
        "adapters",
        [](const std::string& driver) {
            py::gil_scoped_release released;
            return ChipFacade::adapters(driver);
        },
        "driver"_a = "auto",
        "The QE7204 adapters attached, as a list of Adapter (serial, description, backend,\n"
        "free). driver: \"auto\" (every backend), \"d2xx\", \"tty\", \"libftdi\", or \"sim\".");

    module.def(
        "open",
        [](std::optional<std::string> serial, const std::string& driver, bool simulate,
           std::optional<int> address, std::optional<int> replyTimeoutMs, std::optional<int> chips,
           std::optional<double> magnetSpeed, std::optional<double> offCentre,
           std::optional<double> offCentrePhase, std::optional<double> tilt, bool trace) {
            OpenRequest request;
            request.serial = serial.value_or("");
            request.driver = driver;
            request.address = address;
            request.replyTimeoutMs = replyTimeoutMs;
            request.trace = trace;
            const bool benchGiven = chips || magnetSpeed || offCentre || offCentrePhase || tilt;
            if (simulate || driver == "sim") {
                SimulatedBench bench;
                bench.chips = chips.value_or(bench.chips);
                bench.magnetSpeed = magnetSpeed.value_or(bench.magnetSpeed);
                bench.offCentreCounts = offCentre.value_or(0.0);
                bench.offCentrePhaseDeg = offCentrePhase.value_or(0.0);
                bench.tiltAgcLevels = tilt.value_or(0.0);
                request.simulation = bench;
            } else if (benchGiven) {
                throw Failure(FailureKind::Usage,
                              "chips and the magnet options need simulate=True");
            }
            std::unique_ptr<ChipFacade> facade;
            std::vector<std::string> traced;
            {
                py::gil_scoped_release released;
                facade = std::make_unique<ChipFacade>(request);
                traced = facade->takeTrace();
            }
            printTrace(traced);
            return std::make_shared<PythonChip>(std::move(facade));
        },
        "serial"_a = py::none(), "driver"_a = "auto", "simulate"_a = false,
        "address"_a = py::none(), "reply_timeout_ms"_a = py::none(), py::kw_only(),
        "chips"_a = py::none(), "magnet_speed"_a = py::none(), "magnet_off_centre"_a = py::none(),
        "magnet_off_centre_phase"_a = py::none(), "magnet_tilt"_a = py::none(), "trace"_a = false,
        R"(Opens an adapter and the chip on it; returns a Chip that holds the adapter.

As qe7204ctl does before a command: the adapter (serial, or the first free one)
opened, the chip supply switched on, the bus scanned, the chip chosen (the only one,
or `address` among several) and all its registers read.

serial         the adapter's USB serial number (default: the first free one)
driver         "auto", "d2xx", "tty", "libftdi" or "sim" (as qe7204ctl --driver)
simulate       a simulated adapter ("QE000001") with fresh chips instead of hardware
address        the chip's bus address when several answer
reply_timeout_ms
               wait at least this long for every reply, 1..60000 (default 116: the
               latency timer and a loaded USB bus; as qe7204ctl --reply-timeout)
chips          simulated chips on the bus, 0..4 (default 1)
magnet_speed   turns per second of the simulated magnet, negative the other way (0.1)
magnet_off_centre, magnet_off_centre_phase
               the simulated magnet off centre: counts (0..1024) at a phase in degrees
magnet_tilt    the simulated magnet tilted: AGC ripple once per turn in levels (0..15)
trace          print every frame on sys.stderr from the start (see Chip.trace)

Raises NoAdapter, AdapterBusy, NoPermission, NoChip, TooManyChips, UsageError.)");
}
