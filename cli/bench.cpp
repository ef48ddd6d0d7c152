#include "bench.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <span>

#include "desk_snapshot.h"
#include "regular_file.h"
#include "simulation.h"

namespace qe::cli {

namespace {

std::string addressList(const std::vector<std::uint8_t>& addresses) {
    std::string text;
    for (std::uint8_t address : addresses)
        text += (text.empty() ? "" : ", ") + std::to_string(address);
    return text;
}

// A saved bench is a few hundred bytes.
constexpr std::size_t kMostBenchStateBytes = 1 << 20;

enum class StateFile { Absent, Read, Unusable };

// Reads a saved bench. Opening never waits: a FIFO, a device or a folder is unusable, as is
// a file far bigger than any saved bench.
StateFile readBenchState(const std::string& path, std::string& text) {
    RegularFile file(path, RegularFile::Access::Read);
    if (file.error() == ENOENT) return StateFile::Absent;
    if (file.error() != 0) return StateFile::Unusable;
    const std::vector<std::uint8_t> bytes = file.read(kMostBenchStateBytes + 1);
    if (file.error() != 0 || bytes.size() > kMostBenchStateBytes) return StateFile::Unusable;
    text.assign(bytes.begin(), bytes.end());
    return StateFile::Read;
}

}  // namespace

Bench::Bench(const GlobalOptions& options, Environment& environment)
    : options_(options), environment_(environment) {}

Bench::~Bench() {
    // Closed without switching the supply off: the chip stays powered for the next command.
    if (chip_) chip_->closeAdapter();
    keepSimulatedState();
}

bool Bench::prepare(std::string& error) {
    FtdiDriver* driver = nullptr;
    if (options_.simulate) {
        sim::SimulationOptions simulation;
        simulation.instantReplies = environment_.instantSimulation;
        if (options_.simChips) simulation.chips = *options_.simChips;
        if (options_.magnetSpeed) simulation.revolutionsPerSecond = *options_.magnetSpeed;
        if (options_.magnetOffCentre) sim::parseOffCentre(*options_.magnetOffCentre, simulation);
        if (options_.magnetTilt) sim::parseTilt(*options_.magnetTilt, simulation);
        simulation.loadedBus = options_.loadedBus;
        simulation_ = sim::makeDefaultSimulation(environment_.clock, simulation);
        if (!options_.simState.empty()) {
            std::string text;
            const StateFile state = readBenchState(options_.simState, text);
            const auto snapshot =
                state == StateFile::Read ? sim::parseSnapshot(text) : std::nullopt;
            if (state != StateFile::Absent && !snapshot) {
                // Left as it is: it may be some other file, named by mistake.
                error = options_.simState + " does not hold a simulated bench";
                return false;
            }
            if (snapshot) sim::restoreSnapshot(simulation_->adapter(), *snapshot);
            keepState_ = true;
        }
        if (environment_.onSimulation) environment_.onSimulation(*simulation_);
        driver = simulation_.get();
    } else {
        realDriver_ = environment_.realDriver(options_.driver, error);
        if (!realDriver_) return false;
        driver = realDriver_.get();
    }
    if (options_.trace) {
        tracer_ = std::make_unique<TracingDriver>(
            *driver, environment_.clock,
            [this](const std::string& line) { environment_.err << "trace " << line << '\n'; });
        driver = tracer_.get();
    }
    driver_ = driver;
    chip_ = std::make_unique<chip::Chip>(*driver, environment_.clock, messages_,
                                         chip::AdapterPolicy::onlySerial(options_.serial));
    // Nobody watches a command line's exchanges the way the window's poll cycle paces them:
    // wait as long as a real adapter may take.
    chip_->setReplyTimeoutMs(options_.replyTimeoutMs
                                 ? static_cast<std::uint32_t>(*options_.replyTimeoutMs)
                                 : AdapterLink::kLoadedBusReplyTimeoutMs);
    return true;
}

void Bench::keepSimulatedState() {
    if (!simulation_ || !keepState_) return;
    // Replaced as a whole, so that an interrupted run leaves the old state.
    const std::string text = sim::snapshotText(sim::takeSnapshot(simulation_->adapter()));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (replaceFileContents(options_.simState, std::span(bytes, text.size())) != 0)
        environment_.err << "qe7204ctl: cannot write " << options_.simState << '\n';
}

chip::ScanResult Bench::powerOn() {
    // The supply counts as off when its report comes late, as it may on a busy computer;
    // the window shows that and the user presses "Power ON" again. So does this.
    chip::ScanResult scan = chip_->powerOn();
    for (int attempt = 1; attempt < kPowerOnAttempts && !chip_->chipPowered(); ++attempt)
        scan = chip_->powerOn();
    return scan;
}

chip::Result Bench::openChip() {
    if (chip::Result opened = chip_->openAdapter(); !opened.ok()) return opened;
    return reachChip();
}

chip::Result Bench::reachChip() {
    const chip::ScanResult scan = powerOn();
    if (chip::Result chosen = chooseChip(scan); !chosen.ok()) return chosen;
    chip::Result read = chip_->refreshSettings();
    if (read.ok()) chip_->deriveFromMirror();
    return read;
}

chip::Result Bench::chooseChip(const chip::ScanResult& scan) {
    using chip::Outcome;
    if (!chip_->chipPowered())
        return chip::Result::failed(Outcome::NoChip, "the adapter reports the chip supply off");
    const std::vector<std::uint8_t>& chips = chip_->chipsFound();
    if (scan.outcome == Outcome::NoChip || chips.empty())
        return chip::Result::failed(Outcome::NoChip, "no chip answers on the bus");
    if (options_.address) {
        const auto wanted = static_cast<std::uint8_t>(*options_.address);
        if (chip::Result selected = chip_->selectChip(wanted); !selected.ok())
            return chip::Result::failed(selected.outcome,
                                        selected.reason + " (chips at " + addressList(chips) + ")");
        // The one-chip rule's message does not apply to a chip picked by its address.
        messages_.clear();
        return chip::Result::done();
    }
    if (scan.outcome == Outcome::TooManyChips)
        return chip::Result::failed(Outcome::TooManyChips, scan.reason + " Chips answer at " +
                                                               addressList(chips) +
                                                               "; choose one with --address.");
    return chip::Result::done();
}

}  // namespace qe::cli
