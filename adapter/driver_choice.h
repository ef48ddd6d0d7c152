#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ftdi_driver.h"

namespace qe {

// How the front ends reach real adapters (`--driver`). The simulated adapter is no choice
// here: the front ends build it themselves, since it sits above this library.
enum class DriverChoice {
    Auto,     // every backend that is available, as one list (the default)
    D2xx,     // the chip maker's D2XX library
    Tty,      // the kernel's FTDI serial driver, /dev/ttyUSBn
    LibFtdi,  // libftdi1 over libusb
};

// "auto", "d2xx", "tty" or "libftdi"; nothing for any other name.
std::optional<DriverChoice> driverChoiceFromName(std::string_view name);
const char* driverChoiceName(DriverChoice choice);
// "auto|d2xx|tty|libftdi"
std::string driverChoiceNames();
// Help for the `--driver` option: the choices, and which backend `auto` prefers.
std::string driverChoiceHelp();

// The driver for the choice. Qt Serial Port (tty, auto) needs a QCoreApplication.
std::unique_ptr<FtdiDriver> makeDriver(DriverChoice choice);

}  // namespace qe
