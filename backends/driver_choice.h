#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ftdi_driver.h"

namespace qe {

// How the front ends reach the adapter (`--driver`).
enum class DriverChoice {
    Auto,       // every real backend that is available, as one list (the default)
    D2xx,       // the chip maker's D2XX library
    Tty,        // the kernel's FTDI serial driver, /dev/ttyUSBn
    LibFtdi,    // libftdi1 over libusb
    Simulated,  // the simulated adapter with its chips and magnet (`--simulate`)
};

// "auto", "d2xx", "tty", "libftdi" or "sim"; nothing for any other name.
std::optional<DriverChoice> driverChoiceFromName(std::string_view name);
const char* driverChoiceName(DriverChoice choice);
// "auto|d2xx|tty|libftdi|sim"
std::string driverChoiceNames();

// The driver of a real adapter for the choice; nothing for the simulated one, which needs its
// settings (see ChosenDriver). Qt Serial Port (tty, auto) needs a QCoreApplication.
std::unique_ptr<FtdiDriver> makeRealDriver(DriverChoice choice);

}  // namespace qe
