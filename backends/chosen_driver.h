#pragma once

#include <functional>
#include <memory>
#include <string>

#include "backend_options.h"
#include "clock.h"
#include "ftdi_driver.h"
#include "simulated_driver.h"

namespace qe {

// Makes a real adapter's driver; the programs use makeRealDriver, tests their own.
using RealDriverMaker = std::function<std::unique_ptr<FtdiDriver>(DriverChoice choice)>;

// The driver the backend settings chose, simulated or real. A simulated bench with a
// --sim-state file starts as the file left it and goes back into it with keepBench().
class ChosenDriver {
public:
    // Nothing, with the reason, when the driver cannot be had or the bench file holds
    // something else.
    static std::unique_ptr<ChosenDriver> make(const BackendSettings& settings, Clock& clock,
                                              const RealDriverMaker& makeReal, std::string& error);

    FtdiDriver& driver() { return *driver_; }
    // The simulated adapter, or nothing for a real one.
    sim::SimulatedDriver* simulation() { return simulation_; }
    // What the link health window calls the backend: "simulated adapter", else the one that
    // lists the open adapter ("d2xx", "tty", "libftdi"), else the one chosen.
    std::string backendName(const std::string& listing) const;

    // Writes the simulated bench back into its file, replaced as a whole, so that an
    // interrupted run leaves the old state. False when the file could not be written;
    // true when there is nothing to keep.
    bool keepBench() const;

private:
    ChosenDriver(const BackendSettings& settings, std::unique_ptr<FtdiDriver> driver,
                 sim::SimulatedDriver* simulation);

    BackendSettings settings_;
    std::unique_ptr<FtdiDriver> driver_;
    sim::SimulatedDriver* simulation_ = nullptr;  // driver_, when it is the simulated adapter
};

}  // namespace qe
