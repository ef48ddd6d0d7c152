#include "simulation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "adapter_commands.h"

namespace qe::sim {

namespace {

std::optional<double> finiteNumber(std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace

bool parseOffCentre(std::string_view text, SimulationOptions& options) {
    const auto comma = text.find(',');
    const auto counts = finiteNumber(text.substr(0, comma));
    const auto phase =
        comma == std::string_view::npos ? std::optional(0.0) : finiteNumber(text.substr(comma + 1));
    if (!counts || !phase || *counts < 0.0 || *counts > kMaxOffCentreCounts) return false;
    options.offCentreCounts = *counts;
    options.offCentrePhaseDeg = *phase;
    return true;
}

bool parseTilt(std::string_view text, SimulationOptions& options) {
    const auto levels = finiteNumber(text);
    if (!levels || *levels < 0.0 || *levels > kMaxTiltAgcLevels) return false;
    options.tiltAgcLevels = *levels;
    return true;
}

std::unique_ptr<SimulatedDriver> makeDefaultSimulation(Clock& clock,
                                                       const SimulationOptions& options) {
    auto driver = std::make_unique<SimulatedDriver>(clock);
    driver->setInstantReplies(options.instantReplies);
    // Short replies go when the adapter's latency timer next runs out, as a real one sends them.
    driver->setPace(options.loadedBus ? SimulatedAdapter::Pace::LoadedBus
                                      : SimulatedAdapter::Pace::LatencyTimer);
    auto& adapter = driver->addAdapter();
    const int chips = std::clamp(options.chips, 0, kBusAddressCount);
    for (int address = 0; address < chips; ++address)
        adapter.addChip(static_cast<std::uint8_t>(address));
    adapter.magnet().setSpeed(options.revolutionsPerSecond);
    adapter.magnet().setEccentricity(options.offCentreCounts, options.offCentrePhaseDeg);
    adapter.magnet().setAgcRipple(options.tiltAgcLevels);
    return driver;
}

}  // namespace qe::sim
