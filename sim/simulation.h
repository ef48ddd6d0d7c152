#pragma once

#include <memory>

#include "clock.h"
#include "simulated_driver.h"

namespace qe::sim {

// What `--simulate` puts on the bench.
struct SimulationOptions {
    int chips = 1;  // at bus addresses 0, 1, 2, ... with a typical configuration; one per address
    double revolutionsPerSecond = 0.1;  // a slow turn, so the readout and the dial visibly move
    bool instantReplies = false;        // no latency, wire or EEPROM time (unit tests)
    // Now and then 10 to 40 ms more for a reply, as on a busy USB bus or machine.
    bool loadedBus = false;
    // A firmware that answers one frame at a time and loses frames sent back to back.
    bool oneFrameAtATime = false;
    // Mounting errors of the magnet: off-centre by counts at a phase, tilted as an AGC ripple.
    double offCentreCounts = 0.0;
    double offCentrePhaseDeg = 0.0;
    double tiltAgcLevels = 0.0;
};

// One "QE7204 interface" adapter (serial "QE000001") with its chips and a turning magnet.
std::unique_ptr<SimulatedDriver> makeDefaultSimulation(Clock& clock,
                                                       const SimulationOptions& options = {});

}  // namespace qe::sim
