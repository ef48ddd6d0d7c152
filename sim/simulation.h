#pragma once

#include <memory>
#include <string_view>

#include "clock.h"
#include "simulated_driver.h"

namespace qe::sim {

// Fastest turn of the magnet offered, either way: beyond the widest tacho range, to see it
// saturate.
inline constexpr double kMaxMagnetSpeedRps = 2500.0;

// Largest mounting errors the command lines take: a magnet a quarter turn off at most, and
// a ripple over the whole AGC range.
inline constexpr double kMaxOffCentreCounts = 1024.0;
inline constexpr double kMaxTiltAgcLevels = 15.0;

// What `--simulate` puts on the desk.
struct SimulationOptions {
    int chips = 1;  // at bus addresses 0, 1, 2, ... with a typical configuration; one per address
    double revolutionsPerSecond = 0.1;  // a slow turn, so the readout and the dial visibly move
    bool instantReplies = false;        // no latency, wire or EEPROM time (unit tests)
    // Now and then 10 to 40 ms more for a reply, as on a busy USB bus or machine.
    bool loadedBus = false;
    // Mounting errors of the magnet: off-centre by counts at a phase, tilted as an AGC ripple.
    double offCentreCounts = 0.0;
    double offCentrePhaseDeg = 0.0;
    double tiltAgcLevels = 0.0;
};

struct SimulationOptions;
// "COUNTS" or "COUNTS,PHASE" (degrees), as --magnet-off-centre takes it; false when the text
// is not that or out of range, and the options are left as they were.
bool parseOffCentre(std::string_view text, SimulationOptions& options);
// AGC levels, as --magnet-tilt takes it.
bool parseTilt(std::string_view text, SimulationOptions& options);

// One "QE7204 interface" adapter (serial "QE000001") with its chips and a turning magnet.
std::unique_ptr<SimulatedDriver> makeDefaultSimulation(Clock& clock,
                                                       const SimulationOptions& options = {});

}  // namespace qe::sim
