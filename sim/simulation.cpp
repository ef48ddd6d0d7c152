#include "simulation.h"

#include <algorithm>

#include "adapter_commands.h"

namespace qe::sim {

std::unique_ptr<SimulatedDriver> makeDefaultSimulation(Clock& clock,
                                                       const SimulationOptions& options) {
    auto driver = std::make_unique<SimulatedDriver>(clock);
    driver->setInstantReplies(options.instantReplies);
    // Short replies go when the adapter's latency timer next runs out, as a real one sends them.
    driver->setPace(options.loadedBus ? SimulatedAdapter::Pace::LoadedBus
                                      : SimulatedAdapter::Pace::LatencyTimer);
    auto& adapter = driver->addAdapter();
    adapter.takeOneFrameAtATime(options.oneFrameAtATime);
    const int chips = std::clamp(options.chips, 0, kBusAddressCount);
    for (int address = 0; address < chips; ++address)
        adapter.addChip(static_cast<std::uint8_t>(address));
    adapter.magnet().setSpeed(options.revolutionsPerSecond);
    adapter.magnet().setEccentricity(options.offCentreCounts, options.offCentrePhaseDeg);
    adapter.magnet().setAgcRipple(options.tiltAgcLevels);
    return driver;
}

}  // namespace qe::sim
