#pragma once

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "chosen_driver.h"
#include "clock.h"
#include "simulated_driver.h"

namespace qe::cli {

// Set to 1, the simulated adapter answers at once instead of at a real adapter's pace, so
// that tests outside the process (scripts, the Python module's) see the same frames on a
// busy machine as on an idle one.
inline constexpr const char* kInstantSimulationVariable = "QE7204_SIM_INSTANT";
inline bool instantSimulationAsked() {
    const char* value = std::getenv(kInstantSimulationVariable);
    return value && std::string_view(value) == "1";
}

// What qe7204ctl gets from the process that runs it; tests give their own.
struct Environment {
    Clock& clock;
    std::ostream& out;
    std::ostream& err;
    // Set by Ctrl-C (SIGINT/SIGTERM): a running watch stops at its next step.
    const std::atomic<bool>& stopRequested;
    // The driver of a real adapter for --driver (makeRealDriver; tests give their own).
    RealDriverMaker realDriver;
    // The simulated adapter answers at once instead of at the pace of a real one.
    bool instantSimulation = false;
    // Called with the simulated adapter before the command runs (tests arm faults here).
    std::function<void(sim::SimulatedDriver&)> onSimulation;
    // Where standard error and output are terminals: long work then shows its progress.
    bool errIsTerminal = false;
    bool outIsTerminal = false;
};

}  // namespace qe::cli
