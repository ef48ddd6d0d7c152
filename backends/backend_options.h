#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver_choice.h"
#include "simulation.h"

namespace qe {

// What the backend options chose: how the adapter is reached and, for the simulated one, the
// bench it simulates.
struct BackendSettings {
    DriverChoice driver = DriverChoice::Auto;
    sim::SimulationOptions simulation;
    // The file that keeps the simulated bench from one run to the next (`--sim-state`);
    // empty: every run starts a fresh bench.
    std::string benchFile;

    bool simulated() const { return driver == DriverChoice::Simulated; }
};

// The programs that offer the options.
enum class Program { Window, CommandLine };

// The lowest and the highest value a number option takes.
struct ValueRange {
    double lowest;
    double highest;
    bool contains(double value) const { return value >= lowest && value <= highest; }
};

// A few chips on the bus at start; the simulation window adds more, up to one per address.
inline constexpr int kMaxSimulatedChips = 4;
inline constexpr ValueRange kSimulatedChips{0, kMaxSimulatedChips};
// Fastest turn of the magnet, either way: beyond the widest tacho range, to see it saturate.
inline constexpr ValueRange kMagnetSpeedRps{-2500.0, 2500.0};
// Largest mounting errors: a magnet a quarter turn off at most, a ripple over the whole AGC
// range.
inline constexpr ValueRange kOffCentreCounts{0.0, 1024.0};
inline constexpr ValueRange kTiltAgcLevels{0.0, 15.0};

// One option of the adapter's backend, declared once for whichever parser reads it.
struct BackendOption {
    std::string name{};       // given as --name
    std::string valueName{};  // how help names the value; empty for a flag
    std::string help{};
    // What a value may be, as a refusal says it: "a whole number from 0 to 4".
    std::string takes{};
    bool simulation = false;  // only with the simulated adapter
    bool window = true;       // qe7204-tool offers it as well as qe7204ctl
    // Reads the value (empty for a flag) into the settings; false, with the settings left as
    // they were, when the value is refused.
    bool (*read)(std::string_view value, BackendSettings& settings) = nullptr;

    bool flag() const { return valueName.empty(); }
    bool offeredBy(Program program) const { return window || program == Program::CommandLine; }
    // "--chips takes a whole number from 0 to 4, not '9'"
    std::string refusal(std::string_view value) const;
};

// Every backend option, in the order help lists them.
const std::vector<BackendOption>& backendOptions();

// Settles the backend options a parser found, in the order given, into settings, with the
// checks both programs make. An error is one line without a final full stop.
class BackendOptionReader {
public:
    explicit BackendOptionReader(Program program) : program_(program) {}

    // One option as given; false with error() when its value is refused.
    bool take(const BackendOption& option, std::string_view value = {});
    // After the last option: false with error() when the options do not go together.
    bool finish();

    const BackendSettings& settings() const { return settings_; }
    const std::string& error() const { return error_; }

private:
    Program program_;
    BackendSettings settings_;
    bool simulateGiven_ = false;
    std::optional<DriverChoice> driverGiven_;
    bool simulationGiven_ = false;
    std::string error_;
};

}  // namespace qe
