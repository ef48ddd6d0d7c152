#include "chosen_driver.h"

#include <cerrno>
#include <span>
#include <vector>

#include "bench_snapshot.h"
#include "regular_file.h"

namespace qe {

namespace {

// A kept bench is a few hundred bytes.
constexpr std::size_t kMostBenchFileBytes = 1 << 20;

enum class BenchFile { Absent, Read, Unusable };

// Opening never waits: a FIFO, a device or a folder is unusable, as is a file far bigger
// than any kept bench.
BenchFile readBenchFile(const std::string& path, std::string& text) {
    RegularFile file(path, RegularFile::Access::Read);
    if (file.error() == ENOENT) return BenchFile::Absent;
    if (file.error() != 0) return BenchFile::Unusable;
    const std::vector<std::uint8_t> bytes = file.read(kMostBenchFileBytes + 1);
    if (file.error() != 0 || bytes.size() > kMostBenchFileBytes) return BenchFile::Unusable;
    text.assign(bytes.begin(), bytes.end());
    return BenchFile::Read;
}

}  // namespace

ChosenDriver::ChosenDriver(const BackendSettings& settings, std::unique_ptr<FtdiDriver> driver,
                           sim::SimulatedDriver* simulation)
    : settings_(settings), driver_(std::move(driver)), simulation_(simulation) {}

std::unique_ptr<ChosenDriver> ChosenDriver::make(const BackendSettings& settings, Clock& clock,
                                                 const RealDriverMaker& makeReal,
                                                 std::string& error) {
    if (!settings.simulated()) {
        std::unique_ptr<FtdiDriver> driver = makeReal(settings.driver);
        if (!driver) {
            error = std::string("no driver '") + driverChoiceName(settings.driver) + "'";
            return nullptr;
        }
        return std::unique_ptr<ChosenDriver>(
            new ChosenDriver(settings, std::move(driver), nullptr));
    }
    std::unique_ptr<sim::SimulatedDriver> simulation =
        sim::makeDefaultSimulation(clock, settings.simulation);
    if (!settings.benchFile.empty()) {
        std::string text;
        const BenchFile state = readBenchFile(settings.benchFile, text);
        const auto snapshot = state == BenchFile::Read ? sim::parseSnapshot(text) : std::nullopt;
        if (state != BenchFile::Absent && !snapshot) {
            // Left as it is: it may be some other file, named by mistake.
            error = settings.benchFile + " does not hold a simulated bench";
            return nullptr;
        }
        if (snapshot) sim::restoreSnapshot(simulation->adapter(), *snapshot);
    }
    sim::SimulatedDriver* simulated = simulation.get();
    return std::unique_ptr<ChosenDriver>(
        new ChosenDriver(settings, std::move(simulation), simulated));
}

std::string ChosenDriver::backendName(const std::string& listing) const {
    if (simulation_) return "simulated adapter";
    return listing.empty() ? driverChoiceName(settings_.driver) : listing;
}

bool ChosenDriver::keepBench() const {
    if (!simulation_ || settings_.benchFile.empty()) return true;
    const std::string text = sim::snapshotText(sim::takeSnapshot(simulation_->adapter()));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    return replaceFileContents(settings_.benchFile, std::span(bytes, text.size())) == 0;
}

}  // namespace qe
