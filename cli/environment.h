#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "clock.h"
#include "ftdi_driver.h"
#include "simulated_driver.h"

namespace qe::cli {

// What qe7204ctl gets from the process that runs it; tests give their own.
struct Environment {
    Clock& clock;
    std::ostream& out;
    std::ostream& err;
    // Set by Ctrl-C (SIGINT/SIGTERM): a running watch stops at its next step.
    const std::atomic<bool>& stopRequested;
    // The driver of a real adapter for --driver NAME (empty: the default); nullptr with
    // `error` set when there is no such driver.
    std::function<std::unique_ptr<FtdiDriver>(const std::string& name, std::string& error)>
        realDriver;
    // The simulated adapter answers at once instead of at the pace of a real one.
    bool instantSimulation = false;
    // Called with the simulated adapter before the command runs (tests arm faults here).
    std::function<void(sim::SimulatedDriver&)> onSimulation;
};

}  // namespace qe::cli
