#include "bench.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <span>

#include "adapter_identity.h"
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
    if (link_) link_->CloseAdapter();
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
    link_ = std::make_unique<AdapterLink>(*driver, environment_.clock, messages_, image_);
    // Nobody watches a command line's exchanges the way the window's poll cycle paces them:
    // wait as long as a real adapter may take.
    link_->setReplyTimeoutMs(options_.replyTimeoutMs
                                 ? static_cast<std::uint32_t>(*options_.replyTimeoutMs)
                                 : AdapterLink::kLoadedBusReplyTimeoutMs);
    session_ = std::make_unique<chip::ChipSession>(*link_);
    connection_ = std::make_unique<chip::ChipConnection>(*link_, *session_, std::string());
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

void Bench::enumerate() {
    link_->EnumerateDevices();
}

chip::Result Bench::openAdapter() {
    enumerate();
    const auto& devices = link_->deviceInfoList();
    if (!options_.serial.empty()) {
        const bool listed = std::any_of(devices.begin(), devices.end(), [&](const auto& node) {
            return describesAdapter(node) && node.serialNumber() == options_.serial;
        });
        if (!listed)
            return chip::Result::failed(chip::Outcome::NoChip,
                                        "no QE7204 adapter with serial number " + options_.serial);
    }
    link_->setLineSettings(kAdapterLineSettings);
    const AdapterChoice choice = link_->ConnectAdapter(options_.serial);
    if (choice == AdapterChoice::None)
        return chip::Result::failed(chip::Outcome::NoChip, messages_.last().empty()
                                                               ? "no QE7204 adapter found"
                                                               : messages_.last());
    if (!options_.serial.empty() && choice != AdapterChoice::Preferred) {
        link_->CloseAdapter();
        return chip::Result::failed(chip::Outcome::NoChip,
                                    "the adapter " + options_.serial + " could not be opened");
    }
    return chip::Result::done();
}

chip::ScanResult Bench::powerOn() {
    // The supply counts as off when its report comes late, as it may on a busy computer;
    // the window shows that and the user presses "Power ON" again. So does this.
    chip::ScanResult scan = connection_->powerOn();
    for (int attempt = 1; attempt < kPowerOnAttempts && !link_->chipPowered(); ++attempt)
        scan = connection_->powerOn();
    return scan;
}

chip::Result Bench::openChip() {
    if (chip::Result opened = openAdapter(); !opened.ok()) return opened;
    const chip::ScanResult scan = powerOn();
    if (chip::Result chosen = chooseChip(scan); !chosen.ok()) return chosen;
    return session_->refreshSettings();
}

chip::Result Bench::chooseChip(const chip::ScanResult& scan) {
    using chip::Outcome;
    if (!link_->chipPowered())
        return chip::Result::failed(Outcome::NoChip, "the adapter reports the chip supply off");
    const std::vector<std::uint8_t>& chips = connection_->chipsFound();
    if (scan.outcome == Outcome::NoChip || chips.empty())
        return chip::Result::failed(Outcome::NoChip, "no chip answers on the bus");
    if (options_.address) {
        const auto wanted = static_cast<std::uint8_t>(*options_.address);
        if (std::find(chips.begin(), chips.end(), wanted) == chips.end())
            return chip::Result::failed(Outcome::NoChip,
                                        "no chip answers at address " + std::to_string(wanted) +
                                            " (chips at " + addressList(chips) + ")");
        // The one-chip rule's message does not apply to a chip picked by its address.
        messages_.clear();
        session_->setChipAddress(wanted);
        return chip::Result::done();
    }
    if (scan.outcome == Outcome::TooManyChips)
        return chip::Result::failed(Outcome::TooManyChips, messages_.last() + " Chips answer at " +
                                                               addressList(chips) +
                                                               "; choose one with --address.");
    return chip::Result::done();
}

std::string Bench::adapterSerial() const {
    return link_ ? link_->lastOpenedSerial() : std::string();
}

}  // namespace qe::cli
