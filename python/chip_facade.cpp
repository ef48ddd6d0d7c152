#include "chip_facade.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ostream>
#include <streambuf>

#include "adapter_identity.h"
#include "backend_options.h"
#include "bench.h"
#include "configuration_file.h"
#include "configuration_reader.h"
#include "configuration_view.h"
#include "environment.h"
#include "field_catalogue.h"
#include "field_choice.h"
#include "file_status.h"
#include "magnet_check.h"
#include "readout.h"
#include "readout_csv_writer.h"

namespace qe::python {

namespace {

// The kernel's serial driver is reached through Qt Serial Port, which needs an application
// object; a Python process has none of its own.
void ensureQtApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "qe7204";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

std::unique_ptr<FtdiDriver> realDriver(DriverChoice choice) {
    ensureQtApplication();
    return makeRealDriver(choice);
}

// The bench writes the frame trace to its error stream, one line each; this one keeps them.
class TraceLines final : public std::streambuf {
public:
    bool on = false;
    std::vector<std::string> lines;

protected:
    int_type overflow(int_type c) override {
        if (c == traits_type::eof()) return c;
        if (c != '\n') {
            partial_ += static_cast<char>(c);
            return c;
        }
        if (on) lines.push_back(partial_);
        partial_.clear();
        return c;
    }

private:
    std::string partial_;
};

DriverChoice checkedDriver(const std::string& driver) {
    if (const auto choice = driverChoiceFromName(driver)) return *choice;
    throw Failure(FailureKind::Usage,
                  "driver takes " + driverChoiceNames() + ", not '" + driver + "'");
}

// "magnet_tilt takes AGC levels from 0 to 15" unless the value is a finite number in range.
void checkRange(double value, ValueRange range, const std::string& what) {
    if (std::isfinite(value) && range.contains(value)) return;
    throw Failure(FailureKind::Usage, what + " from " + chip::formatFixed(range.lowest, 0) +
                                          " to " + chip::formatFixed(range.highest, 0));
}

cli::GlobalOptions optionsFor(const OpenRequest& request) {
    cli::GlobalOptions options;
    BackendSettings& backend = options.backend;
    backend.driver = checkedDriver(request.driver);
    options.serial = request.serial;
    options.address = request.address;
    if (request.replyTimeoutMs &&
        (*request.replyTimeoutMs < 1 || *request.replyTimeoutMs > cli::kMaxReplyTimeoutMs))
        throw Failure(FailureKind::Usage, "reply_timeout_ms takes milliseconds from 1 to " +
                                              std::to_string(cli::kMaxReplyTimeoutMs) + ", not " +
                                              std::to_string(*request.replyTimeoutMs));
    options.replyTimeoutMs = request.replyTimeoutMs;
    options.trace = true;  // gathered always, kept only while the trace is on
    if (request.address && (*request.address < 0 || *request.address > 127))
        throw Failure(FailureKind::Usage, "address takes a number from 0 to 127, not " +
                                              std::to_string(*request.address));
    if (request.simulation) backend.driver = DriverChoice::Simulated;
    if (!backend.simulated()) return options;
    const SimulatedBench bench = request.simulation.value_or(SimulatedBench{});
    checkRange(bench.chips, kSimulatedChips, "chips takes a number");
    checkRange(bench.magnetSpeed, kMagnetSpeedRps, "magnet_speed takes turns per second");
    // A phase that is no number spoils the offset as a whole.
    checkRange(std::isfinite(bench.offCentrePhaseDeg) ? bench.offCentreCounts : NAN,
               kOffCentreCounts, "magnet_off_centre takes counts");
    checkRange(bench.tiltAgcLevels, kTiltAgcLevels, "magnet_tilt takes AGC levels");
    backend.simulation.chips = bench.chips;
    backend.simulation.revolutionsPerSecond = bench.magnetSpeed;
    backend.simulation.offCentreCounts = bench.offCentreCounts;
    backend.simulation.offCentrePhaseDeg = bench.offCentrePhaseDeg;
    backend.simulation.tiltAgcLevels = bench.tiltAgcLevels;
    return options;
}

FieldEntry entryOf(const chip::WorkingField& field, const RegisterImage& image) {
    const chip::FieldValue working = chip::decodeField(field, image[field.field.word]);
    const chip::FieldValue stored =
        chip::decodeField(field, image[chip::eepromCopy(field.field).word]);
    return {field.key, working.value, working.text, stored.value, stored.text};
}

const chip::WorkingField& knownField(const std::string& name) {
    const chip::WorkingField* field = chip::findWorkingField(name);
    if (!field)
        throw Failure(FailureKind::Usage,
                      "unknown field '" + name + "'; fields: " + chip::fieldNameList());
    return *field;
}

// A golden file is exactly one configuration, read as qe7204ctl reads it.
chip::ConfigurationWords strictConfiguration(const std::filesystem::path& path) {
    const cli::ConfigurationFileContent file = cli::readConfigurationFile(path.string());
    if (!file.ok()) throw Failure(FailureKind::FileRefused, file.error);
    return file.words;
}

}  // namespace

struct ChipFacade::Core {
    explicit Core(const OpenRequest& request)
        : options(optionsFor(request)),
          environment{clock,
                      discarded,
                      errors,
                      neverStops,
                      [this](DriverChoice choice) {
                          auto made = realDriver(choice);
                          driver = made.get();
                          return made;
                      },
                      cli::instantSimulationAsked(),
                      [this](sim::SimulatedDriver& made) {
                          simulation = &made;
                          driver = &made;
                      }} {
        traceLines.on = request.trace;
    }

    cli::GlobalOptions options;
    SystemClock clock;
    TraceLines traceLines;
    std::ostream errors{&traceLines};
    std::ostream discarded{nullptr};
    std::atomic<bool> neverStops{false};  // Ctrl-C comes through the caller's stop check
    cli::Environment environment;
    // Both made and owned by the bench; asked what it lists and why an open failed.
    FtdiDriver* driver = nullptr;
    sim::SimulatedDriver* simulation = nullptr;
    std::unique_ptr<cli::Bench> bench;
    // After the bench: ended before the chip it runs on goes.
    std::optional<chip::CaptureSession> capture;
    std::uint64_t captureId = 0;
    std::uint64_t lastCaptureId = 0;
};

std::vector<AdapterEntry> ChipFacade::adapters(const std::string& driver) {
    OpenRequest request;
    request.driver = driver;
    Core core(request);
    core.bench = std::make_unique<cli::Bench>(core.options, core.environment);
    std::string error;
    if (!core.bench->prepare(error)) throw Failure(FailureKind::Usage, error);
    core.bench->chip().enumerateDevices();
    const chip::Chip& link = core.bench->chip();
    std::vector<AdapterEntry> list;
    for (const DeviceInfoNode& node : link.devices())
        if (describesAdapter(node))
            list.push_back({node.serialNumber(), node.description(), core.driver->backendOf(node),
                            (node.Flags & 1u) == 0});
    return list;
}

ChipFacade::ChipFacade(const OpenRequest& request) : core_(std::make_unique<Core>(request)) {
    auto& bench = core_->bench;
    bench = std::make_unique<cli::Bench>(core_->options, core_->environment);
    std::string error;
    if (!bench->prepare(error)) throw Failure(FailureKind::Usage, error);
    const chip::Result opened = bench->openChip();
    if (opened.ok()) {
        bench->messages().clear();
        return;
    }
    const cli::CommandFailure failure =
        cli::whyNotReached(*bench, *core_->driver, opened, request.serial);
    fail(failure.kind, failure.reason);
}

ChipFacade::~ChipFacade() = default;

void ChipFacade::fail(FailureKind kind, const std::string& reason) const {
    // The bench closes the adapter as it goes, so a failed open leaves nothing held.
    throw Failure(kind, reason);
}

void ChipFacade::close() {
    core_->capture.reset();  // the designed latency timer back before the adapter goes
    core_->captureId = 0;
    core_->simulation = nullptr;  // the bench owns them
    core_->driver = nullptr;
    core_->bench.reset();
}

bool ChipFacade::isOpen() const {
    return core_->bench != nullptr;
}

void ChipFacade::requireOpen() const {
    if (!isOpen()) throw Failure(FailureKind::Usage, "the chip is closed");
}

cli::Bench& ChipFacade::exchangeBench() {
    requireOpen();
    if (core_->capture) core_->capture->settle();
    return *core_->bench;
}

std::string ChipFacade::adapterSerial() const {
    requireOpen();
    return core_->bench->chip().adapterSerial();
}

int ChipFacade::chipAddress() const {
    requireOpen();
    return core_->bench->chip().chipAddress();
}

namespace {

// The failure of an operation, told apart from a lost adapter.
void check(cli::Bench& bench, const chip::Result& result, const std::string& fallback) {
    if (result.ok()) {
        bench.messages().clear();
        return;
    }
    const cli::CommandFailure failure = cli::whyFailed(bench, result, fallback);
    bench.messages().clear();
    throw Failure(failure.kind, failure.reason);
}

void requireSupply(cli::Bench& bench) {
    if (bench.chip().chipPowered()) return;
    if (!bench.chip().checkConnection())
        throw Failure(FailureKind::AdapterLost,
                      "the adapter " + bench.chip().adapterSerial() + " stopped answering");
    throw Failure(FailureKind::NoChip, "the adapter reports the chip supply off");
}

}  // namespace

std::vector<std::uint8_t> ChipFacade::scan() {
    cli::Bench& bench = exchangeBench();
    (void)bench.powerOn();
    bench.messages().clear();  // the one-chip rule does not apply to a list of the chips
    requireSupply(bench);
    return bench.chip().chipsFound();
}

SupplyState ChipFacade::power(bool on) {
    cli::Bench& bench = exchangeBench();
    if (!on) {
        bench.chip().powerOff();
        bench.messages().clear();
        if (bench.chip().chipPowered())
            fail(FailureKind::ChipRefused, "the adapter still reports the chip supply on");
        return {false, {}};
    }
    const chip::ScanResult scan = bench.powerOn();
    requireSupply(bench);
    if (scan.ok()) check(bench, bench.chip().refreshSettings(), "the settings could not be read");
    bench.messages().clear();
    return {true, bench.chip().chipsFound()};
}

std::vector<FieldEntry> ChipFacade::fields() const {
    requireOpen();
    std::vector<FieldEntry> list;
    for (const chip::WorkingField& field : chip::workingFields())
        list.push_back(entryOf(field, core_->bench->chip().image()));
    return list;
}

FieldEntry ChipFacade::field(const std::string& name) const {
    const chip::WorkingField& known = knownField(name);
    requireOpen();
    return entryOf(known, core_->bench->chip().image());
}

namespace {

// One change through the chip core, as the panel's control for the field makes it.
chip::Result apply(chip::Chip& session, const chip::WorkingField& field,
                   const cli::FieldChoice& choice) {
    switch (field.kind) {
        case chip::FieldKind::Setting:
            return session.changeSetting(field, choice.item);
        case chip::FieldKind::Address: {
            const auto checked = session.checkAddress(std::to_string(choice.value));
            if (!checked.ok()) return checked.result;
            return session.setAddress(checked.value);
        }
        case chip::FieldKind::ZeroPosition:
            return session.presetZero(std::to_string(choice.value));
        case chip::FieldKind::Hysteresis:
            return session.setHysteresis(choice.item);
        case chip::FieldKind::ReadOnly:
            break;
    }
    return chip::Result::failed(chip::Outcome::InputRefused,
                                std::string(field.key) + " is never changed");
}

}  // namespace

std::vector<FieldEntry> ChipFacade::set(
    const std::vector<std::pair<std::string, std::string>>& changes) {
    std::vector<std::pair<const chip::WorkingField*, cli::FieldChoice>> checked;
    for (const auto& [name, text] : changes) {
        const chip::WorkingField& field = knownField(name);
        cli::FieldChoice choice = cli::parseFieldValue(field, text);
        if (!choice.ok()) throw Failure(FailureKind::Usage, choice.error);
        checked.emplace_back(&field, std::move(choice));
    }
    cli::Bench& bench = exchangeBench();
    std::vector<FieldEntry> now;
    for (const auto& [field, choice] : checked) {
        check(bench, apply(bench.chip(), *field, choice),
              std::string(field->key) + " could not be changed");
        now.push_back(entryOf(*field, bench.chip().image()));
    }
    return now;
}

void ChipFacade::setAddress(int address) {
    (void)set({{"ADDR", std::to_string(address)}});
}

int ChipFacade::zero(int position) {
    return set({{"Zin", std::to_string(position)}}).front().value;
}

int ChipFacade::zeroAtCurrentPosition() {
    cli::Bench& bench = exchangeBench();
    const auto zero = bench.chip().zeroAtCurrentPosition();
    check(bench, zero.result, "the position could not be read");
    return zero.value;
}

void ChipFacade::hysteresis(int value) {
    (void)set({{"Hyst", std::to_string(value)}});
}

void ChipFacade::prog() {
    cli::Bench& bench = exchangeBench();
    check(bench, bench.chip().programEeprom(), "the EEPROM was not programmed");
}

void ChipFacade::readEeprom() {
    cli::Bench& bench = exchangeBench();
    check(bench, bench.chip().readEeprom(), "the EEPROM was not read");
}

void ChipFacade::load(const std::filesystem::path& path) {
    (void)strictConfiguration(path);
    cli::Bench& bench = exchangeBench();
    chip::Chip& session = bench.chip();
    // Only read: golden files are often kept read-only.
    const chip::Result read = session.loadFile(path, chip::LoadAccess::ReadOnly);
    if (!read.ok()) {
        const std::string reason = read.reason;
        bench.messages().clear();
        fail(FailureKind::FileRefused,
             path.string() + ": " + (reason.empty() ? "not read" : reason));
    }
    check(bench, session.writeLoadedWords(),
          "the chip did not take every word of " + path.string());
}

void ChipFacade::save(const std::filesystem::path& path, bool force) {
    requireOpen();
    if (!force && std::filesystem::is_regular_file(path))
        fail(FailureKind::FileRefused, path.string() + ": the file exists; force=True replaces it");
    cli::Bench& bench = *core_->bench;
    const chip::Result saved = bench.chip().saveFile(path);
    if (saved.ok()) return;
    const std::string reason = saved.reason;
    bench.messages().clear();
    fail(FailureKind::FileRefused, path.string() + ": " + (reason.empty() ? "not saved" : reason));
}

std::vector<Difference> ChipFacade::diff(const std::filesystem::path& path) {
    const chip::ConfigurationWords file = strictConfiguration(path);
    requireOpen();
    const chip::ConfigurationWords held = chip::workingWords(core_->bench->chip().image());
    std::vector<Difference> differences;
    for (const cli::ConfigurationRow& row : cli::configurationRows(file, held))
        if (row.differs && row.left && row.right)
            differences.push_back(
                {row.name, row.left->value, row.left->text, row.right->value, row.right->text});
    return differences;
}

TimedReadout ChipFacade::nextReadout(ReadoutPace& pace, const StopCheck& stop) {
    requireOpen();
    cli::Bench& bench = *core_->bench;
    chip::Chip& device = bench.chip();
    const chip::PacedReadout next = device.readouts().next(pace.loop, stop);
    bench.messages().clear();  // a readout without a reply is a gap, not a message
    if (!next.sample) {
        switch (next.end) {
            case chip::ReadoutEnd::AdapterLost:
                fail(FailureKind::AdapterLost,
                     "the adapter " + device.adapterSerial() + " stopped answering");
            case chip::ReadoutEnd::ChipSilent:
                fail(FailureKind::NoReply, "the chip stopped answering");
            case chip::ReadoutEnd::Counted:
            case chip::ReadoutEnd::Stopped:
                break;
        }
        throw Interrupted{};
    }
    if (!pace.firstRequestNs) pace.firstRequestNs = next.sample->requestNs;
    return {*next.sample, static_cast<double>(next.sample->requestNs - *pace.firstRequestNs) / 1e9};
}

CaptureState ChipFacade::beginCapture(const chip::CaptureOptions& options) {
    requireOpen();
    if (core_->capture)
        fail(FailureKind::Usage,
             "another readouts() of this chip captures; close it or read it to its end first");
    cli::Bench& bench = *core_->bench;
    const chip::CaptureSession& capture = core_->capture.emplace(bench.chip(), options);
    bench.messages().clear();  // a refused timer or probe is a note, not a message
    core_->captureId = ++core_->lastCaptureId;
    return {core_->captureId, capture.latencyMs(), capture.inFlight(), capture.notes()};
}

std::vector<std::string> ChipFacade::endCapture(std::uint64_t id) {
    if (id == 0 || id != core_->captureId || !core_->capture) return {};
    core_->capture->finish();
    std::vector<std::string> notes = core_->capture->notes();
    core_->capture.reset();
    core_->captureId = 0;
    if (core_->bench) core_->bench->messages().clear();
    return notes;
}

namespace {

// Adds the loop's readouts to the check.
class CheckListener final : public chip::ReadoutObserver {
public:
    explicit CheckListener(chip::MagnetCheck& check) : check_(check) {}

private:
    void readoutArrived(const chip::ReadoutSample& sample) override { check_.add(sample); }
    chip::MagnetCheck& check_;
};

}  // namespace

std::string ChipFacade::magnetCheck(int turns, double timeoutSeconds, const StopCheck& stop) {
    requireOpen();
    if (!(timeoutSeconds > 0.0) || !std::isfinite(timeoutSeconds))
        fail(FailureKind::Usage, "timeout_s takes seconds, more than 0");
    if (turns < 1) fail(FailureKind::Usage, "turns takes a whole number from 1");
    chip::MagnetCheck check(turns);
    cli::Bench& bench = exchangeBench();
    chip::Chip& device = bench.chip();
    Clock& clock = core_->clock;
    const std::int64_t deadlineNs =
        clock.nowNs() + static_cast<std::int64_t>(std::llround(timeoutSeconds * 1e9));
    bool stopped = false;
    const auto stopNow = [&] {
        if (check.complete() || clock.nowNs() >= deadlineNs) return true;
        stopped = stop && stop();
        return stopped;
    };
    CheckListener listener(check);
    chip::ReadoutPace pace;
    chip::ReadoutEnd end = chip::ReadoutEnd::Stopped;
    {
        const chip::ReadoutListening listening(device.readouts().stream(), listener);
        end = device.readouts().run(pace, stopNow);
    }
    bench.messages().clear();  // a readout without a reply is a gap, not a message
    if (end == chip::ReadoutEnd::AdapterLost)
        fail(FailureKind::AdapterLost,
             "the adapter " + device.adapterSerial() + " stopped answering");
    if (end == chip::ReadoutEnd::ChipSilent)
        fail(FailureKind::NoReply, "the chip stopped answering");
    if (stopped) throw Interrupted{};
    if (!check.complete())
        fail(FailureKind::MagnetCheckFailed,
             "the shaft turned " + chip::formatFixed(check.turnsDone(), 2) + " of " +
                 std::to_string(turns) + (turns == 1 ? " turn" : " turns") + " in " +
                 chip::formatFixed(timeoutSeconds, 0) + " s");
    chip::MagnetCheckResult result = check.result();
    if (!result.report) fail(FailureKind::MagnetCheckFailed, result.error);
    result.report->source = {chip::isoTimeText(std::chrono::system_clock::now()),
                             QE7204_VERSION,
                             device.adapterSerial(),
                             device.chipAddress(),
                             {}};
    return chip::magnetReportJson(*result.report);
}

void ChipFacade::setTrace(bool on) {
    core_->traceLines.on = on;
}

bool ChipFacade::trace() const {
    return core_->traceLines.on;
}

std::vector<std::string> ChipFacade::takeTrace() {
    return std::exchange(core_->traceLines.lines, {});
}

sim::SimulatedAdapter* ChipFacade::simulatedAdapter() {
    requireOpen();
    if (!core_->simulation || core_->simulation->adapterCount() == 0) return nullptr;
    return &core_->simulation->adapter();
}

}  // namespace qe::python
