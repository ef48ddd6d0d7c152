#include "driver_choice.h"

#include <array>
#include <utility>
#include <vector>

#include "composite_driver.h"
#include "d2xx_driver.h"
#include "libftdi_driver.h"
#include "tty_driver.h"

namespace qe {

namespace {

struct NamedChoice {
    DriverChoice choice;
    const char* name;
};

constexpr std::array kChoices = {
    NamedChoice{DriverChoice::Auto, "auto"},
    NamedChoice{DriverChoice::D2xx, "d2xx"},
    NamedChoice{DriverChoice::Tty, "tty"},
    NamedChoice{DriverChoice::LibFtdi, "libftdi"},
};

// The backends `auto` combines, in the order it prefers them for one adapter.
constexpr std::array kAutoOrder = {DriverChoice::D2xx, DriverChoice::Tty, DriverChoice::LibFtdi};

std::unique_ptr<FtdiDriver> makeBackend(DriverChoice choice) {
    switch (choice) {
        case DriverChoice::D2xx:
            return std::make_unique<D2xxDriver>();
        case DriverChoice::Tty:
            return std::make_unique<TtyDriver>();
        case DriverChoice::LibFtdi:
            return std::make_unique<LibFtdiDriver>();
        case DriverChoice::Auto:
            break;
    }
    return nullptr;
}

}  // namespace

std::optional<DriverChoice> driverChoiceFromName(std::string_view name) {
    for (const NamedChoice& named : kChoices)
        if (name == named.name) return named.choice;
    return std::nullopt;
}

const char* driverChoiceName(DriverChoice choice) {
    for (const NamedChoice& named : kChoices)
        if (named.choice == choice) return named.name;
    return "";
}

std::string driverChoiceNames() {
    std::string names;
    for (const NamedChoice& named : kChoices) {
        if (!names.empty()) names += '|';
        names += named.name;
    }
    return names;
}

std::string driverChoiceHelp() {
    return "How to reach the adapter: d2xx (the chip maker's D2XX library, libftd2xx.so), "
           "tty (the kernel's FTDI serial driver, /dev/ttyUSB*), libftdi (libftdi1 over "
           "libusb), or auto (the default): all of them as one list, an adapter seen by "
           "several listed once, through d2xx before tty before libftdi.";
}

std::unique_ptr<FtdiDriver> makeDriver(DriverChoice choice) {
    if (choice != DriverChoice::Auto) return makeBackend(choice);
    std::vector<CompositeDriver::Backend> backends;
    for (DriverChoice backend : kAutoOrder)
        if (auto driver = makeBackend(backend))
            backends.push_back({driverChoiceName(backend), std::move(driver)});
    return std::make_unique<CompositeDriver>(std::move(backends));
}

}  // namespace qe
