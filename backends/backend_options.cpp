#include "backend_options.h"

#include <charconv>
#include <cmath>

namespace qe {

namespace {

// A finite decimal number, an optional "+" or "-" before it; nothing else around it.
std::optional<double> decimal(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A whole number: decimal, or hexadecimal after "0x".
std::optional<long long> wholeNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || text.front() == '-' || error != std::errc() ||
        end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Shortest decimal text that reads back as the value: 0.1, 2500, -2500.
std::string numberText(double value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

std::string rangeText(ValueRange range) {
    return numberText(range.lowest) + " to " + numberText(range.highest);
}

bool readDriver(std::string_view value, BackendSettings& settings) {
    const auto choice = driverChoiceFromName(value);
    if (choice) settings.driver = *choice;
    return choice.has_value();
}

bool readSimulate(std::string_view, BackendSettings& settings) {
    settings.driver = DriverChoice::Simulated;
    return true;
}

bool readBenchFile(std::string_view value, BackendSettings& settings) {
    if (value.empty()) return false;
    settings.benchFile = value;
    return true;
}

bool readChips(std::string_view value, BackendSettings& settings) {
    const auto chips = wholeNumber(value);
    if (!chips || !kSimulatedChips.contains(static_cast<double>(*chips))) return false;
    settings.simulation.chips = static_cast<int>(*chips);
    return true;
}

bool readLoadedBus(std::string_view, BackendSettings& settings) {
    settings.simulation.loadedBus = true;
    return true;
}

bool readMagnetSpeed(std::string_view value, BackendSettings& settings) {
    const auto speed = decimal(value);
    if (!speed || !kMagnetSpeedRps.contains(*speed)) return false;
    settings.simulation.revolutionsPerSecond = *speed;
    return true;
}

// "COUNTS" or "COUNTS,PHASE" (degrees).
bool readOffCentre(std::string_view value, BackendSettings& settings) {
    const auto comma = value.find(',');
    const auto counts = decimal(value.substr(0, comma));
    const auto phase =
        comma == std::string_view::npos ? std::optional(0.0) : decimal(value.substr(comma + 1));
    if (!counts || !phase || !kOffCentreCounts.contains(*counts)) return false;
    settings.simulation.offCentreCounts = *counts;
    settings.simulation.offCentrePhaseDeg = *phase;
    return true;
}

bool readTilt(std::string_view value, BackendSettings& settings) {
    const auto levels = decimal(value);
    if (!levels || !kTiltAgcLevels.contains(*levels)) return false;
    settings.simulation.tiltAgcLevels = *levels;
    return true;
}

std::vector<BackendOption> declareOptions() {
    const sim::SimulationOptions defaults;
    const std::string drivers = driverChoiceNames();
    return {
        {.name = "driver",
         .valueName = drivers,
         .help = "How to reach the adapter: d2xx (the chip maker's D2XX library, libftd2xx.so), "
                 "tty (the kernel's FTDI serial driver, /dev/ttyUSB*), libftdi (libftdi1 over "
                 "libusb), sim (the simulated adapter, as --simulate), or auto (the default): "
                 "the real ones as one list, an adapter seen by several listed once, through "
                 "d2xx before tty before libftdi.",
         .takes = drivers,
         .read = readDriver},
        {.name = "simulate",
         .help = "A simulated adapter with QE7204 chips instead of a real one; qe7204-tool "
                 "shows it in a window to control the simulation.",
         .read = readSimulate},
        {.name = "sim-state",
         .valueName = "FILE",
         .help = "With --simulate: keeps the simulated bench (its chips) in FILE from run to "
                 "run; without it each run starts a fresh one.",
         .takes = "a file name",
         .simulation = true,
         .window = false,
         .read = readBenchFile},
        {.name = "chips",
         .valueName = "N",
         .help = "With --simulate: number of chips on the bus, " + rangeText(kSimulatedChips) +
                 " (default " + std::to_string(defaults.chips) + ").",
         .takes = "a whole number from " + rangeText(kSimulatedChips),
         .simulation = true,
         .read = readChips},
        {.name = "loaded-bus",
         .help = "With --simulate: the adapter's replies now and then come 10 to 40 ms late, "
                 "as on a busy USB bus or machine.",
         .simulation = true,
         .window = false,
         .read = readLoadedBus},
        {.name = "magnet-speed",
         .valueName = "RPS",
         .help = "With --simulate: turns of the magnet per second, negative for the other "
                 "direction, 0 to stand still (default " +
                 numberText(defaults.revolutionsPerSecond) + ").",
         .takes = "turns per second from " + rangeText(kMagnetSpeedRps),
         .simulation = true,
         .read = readMagnetSpeed},
        {.name = "magnet-off-centre",
         .valueName = "COUNTS[,PHASE]",
         .help = "With --simulate: the magnet off-centre, COUNTS (" + rangeText(kOffCentreCounts) +
                 ") times sin(angle + PHASE degrees) added to the position (default 0).",
         .takes = "COUNTS from " + rangeText(kOffCentreCounts) +
                  ", optionally followed by ,PHASE in degrees",
         .simulation = true,
         .read = readOffCentre},
        {.name = "magnet-tilt",
         .valueName = "LEVELS",
         .help = "With --simulate: the magnet tilted, its AGC rippling once per turn by LEVELS "
                 "(" +
                 rangeText(kTiltAgcLevels) + ").",
         .takes = "AGC levels from " + rangeText(kTiltAgcLevels),
         .simulation = true,
         .read = readTilt},
    };
}

// "--chips, --loaded-bus and the --magnet options need --simulate": the program's simulation
// options, those of the magnet as one.
std::string simulationNeedsSimulate(Program program) {
    std::vector<std::string> names;
    bool magnet = false;
    for (const BackendOption& option : backendOptions()) {
        if (!option.simulation || !option.offeredBy(program)) continue;
        if (option.name.starts_with("magnet-"))
            magnet = true;
        else
            names.push_back("--" + option.name);
    }
    if (magnet) names.push_back("the --magnet options");
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text + " need --simulate";
}

}  // namespace

std::string BackendOption::refusal(std::string_view value) const {
    return "--" + name + " takes " + takes + ", not '" + std::string(value) + "'";
}

const std::vector<BackendOption>& backendOptions() {
    static const std::vector<BackendOption> options = declareOptions();
    return options;
}

bool BackendOptionReader::take(const BackendOption& option, std::string_view value) {
    if (!option.read(value, settings_)) {
        error_ = option.refusal(value);
        return false;
    }
    if (option.name == "simulate") simulateGiven_ = true;
    if (option.name == "driver") driverGiven_ = settings_.driver;
    simulationGiven_ = simulationGiven_ || option.simulation;
    return true;
}

bool BackendOptionReader::finish() {
    const bool simulated = simulateGiven_ || driverGiven_ == DriverChoice::Simulated;
    if (simulationGiven_ && !simulated) {
        error_ = simulationNeedsSimulate(program_);
        return false;
    }
    if (simulateGiven_ && driverGiven_ && *driverGiven_ != DriverChoice::Simulated) {
        error_ = std::string("--simulate and --driver ") + driverChoiceName(*driverGiven_) +
                 " exclude each other";
        return false;
    }
    settings_.driver =
        simulated ? DriverChoice::Simulated : driverGiven_.value_or(DriverChoice::Auto);
    return true;
}

}  // namespace qe
