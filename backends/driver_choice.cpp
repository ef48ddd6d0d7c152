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
    NamedChoice{DriverChoice::Auto, "auto"},     NamedChoice{DriverChoice::D2xx, "d2xx"},
    NamedChoice{DriverChoice::Tty, "tty"},       NamedChoice{DriverChoice::LibFtdi, "libftdi"},
    NamedChoice{DriverChoice::Simulated, "sim"},
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
        case DriverChoice::Simulated:
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

std::unique_ptr<FtdiDriver> makeRealDriver(DriverChoice choice) {
    if (choice != DriverChoice::Auto) return makeBackend(choice);
    std::vector<CompositeDriver::Backend> backends;
    for (DriverChoice backend : kAutoOrder)
        if (auto driver = makeBackend(backend))
            backends.push_back({driverChoiceName(backend), std::move(driver)});
    return std::make_unique<CompositeDriver>(std::move(backends));
}

}  // namespace qe
