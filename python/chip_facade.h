#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "capture_session.h"
#include "failure.h"
#include "readout_loop.h"
#include "readout_sample.h"

namespace qe::sim {
class SimulatedAdapter;
}

namespace qe::cli {
class Bench;
}

namespace qe::python {

// The simulated bench asked for with open(simulate=True).
struct SimulatedBench {
    int chips = 1;
    double magnetSpeed = 0.1;  // turns per second, negative the other way
    double offCentreCounts = 0.0;
    double offCentrePhaseDeg = 0.0;
    double tiltAgcLevels = 0.0;
};

struct OpenRequest {
    std::string serial;           // empty: the first free adapter
    std::string driver = "auto";  // auto|d2xx|tty|libftdi, or sim
    std::optional<SimulatedBench> simulation;
    std::optional<int> address;  // the chip, when several answer
    // The least time any reply is waited for; unset: the command line's default.
    std::optional<int> replyTimeoutMs;
    bool trace = false;
};

struct AdapterEntry {
    std::string serial;
    std::string description;
    std::string backend;
    bool free = false;
};

// A field of the working registers with the text the settings panel shows, beside its
// stored copy in the EEPROM.
struct FieldEntry {
    std::string name;
    std::uint16_t value = 0;
    std::string text;
    std::uint16_t eepromValue = 0;
    std::string eepromText;
};

// A row that differs between a file and the chip: a field, or a whole word 48..55.
struct Difference {
    std::string name;
    std::uint16_t fileValue = 0;
    std::string fileText;
    std::uint16_t chipValue = 0;
    std::string chipText;
};

struct SupplyState {
    bool on = false;
    std::vector<std::uint8_t> chips;
};

// Where a stream of readouts stands between two of them.
struct ReadoutPace {
    chip::ReadoutPace loop;
    std::optional<std::int64_t> firstRequestNs;
};

struct TimedReadout {
    chip::ReadoutSample sample;
    double askedSeconds = 0.0;  // when the chip was asked, from the stream's first readout
};

// A capture begun for a reader: what it runs with, and the one who may end it.
struct CaptureState {
    std::uint64_t id = 0;
    std::uint8_t latencyMs = 0;
    std::size_t inFlight = 0;
    std::vector<std::string> notes;  // where it runs with less than asked
};

// Thrown when the caller's stop check says to stop (Ctrl-C); nothing is left half done.
struct Interrupted {};

// What the Python module asks of the chip core: one adapter held from open to close, the
// chip on it and every operation the command line offers, with failures as Failure. It
// makes no exchange of its own and keeps no chip state: it calls the core and hands out
// what the core holds.
class ChipFacade {
public:
    // True when the caller wants to stop (Ctrl-C); asked between readouts and while waiting.
    using StopCheck = std::function<bool()>;

    static std::vector<AdapterEntry> adapters(const std::string& driver);

    // Opens the adapter and the chip as qe7204ctl does before a command that needs the chip.
    explicit ChipFacade(const OpenRequest& request);
    ~ChipFacade();
    ChipFacade(const ChipFacade&) = delete;
    ChipFacade& operator=(const ChipFacade&) = delete;

    // Lets the adapter go, the chip left powered.
    void close();
    bool isOpen() const;

    std::string adapterSerial() const;
    int chipAddress() const;

    std::vector<std::uint8_t> scan();
    SupplyState power(bool on);

    std::vector<FieldEntry> fields() const;
    FieldEntry field(const std::string& name) const;
    // Every change checked before the first is written; then written in order.
    std::vector<FieldEntry> set(const std::vector<std::pair<std::string, std::string>>& changes);
    void setAddress(int address);
    int zero(int position);
    int zeroAtCurrentPosition();
    void hysteresis(int value);
    void prog();
    void readEeprom();
    void load(const std::filesystem::path& path);
    // A file already there is refused unless `force`, as qe7204ctl save does without --force.
    void save(const std::filesystem::path& path, bool force);
    std::vector<Difference> diff(const std::filesystem::path& path);

    // The next readout at the pace asked for; gaps are counted and skipped.
    TimedReadout nextReadout(ReadoutPace& pace, const StopCheck& stop);
    // Reading at the speed of the link (chip::CaptureSession) until endCapture(id), close()
    // or the facade's end; UsageError while another reader's capture runs.
    CaptureState beginCapture(const chip::CaptureOptions& options);
    // Ends the capture `id` began, the designed latency timer back; nothing when it has
    // ended already. The notes of the whole capture.
    std::vector<std::string> endCapture(std::uint64_t id);

    // The magnet check's report, as the command line's JSON.
    std::string magnetCheck(int turns, double timeoutSeconds, const StopCheck& stop);

    // Frame trace: lines gathered while on, handed out by takeTrace().
    void setTrace(bool on);
    bool trace() const;
    std::vector<std::string> takeTrace();

    // The simulated adapter, for arming faults; nullptr on real hardware.
    sim::SimulatedAdapter* simulatedAdapter();

private:
    struct Core;
    void requireOpen() const;
    // The bench for an exchange other than a readout: requests a capture keeps in flight are
    // given up first, so that their replies cannot be taken for this exchange's.
    cli::Bench& exchangeBench();
    [[noreturn]] void fail(FailureKind kind, const std::string& reason) const;
    std::unique_ptr<Core> core_;
};

}  // namespace qe::python
