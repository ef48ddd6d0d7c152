#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qe::cli {

// The options that hold for every command, before or after the command's name.
struct GlobalOptions {
    bool simulate = false;
    std::string serial;  // empty: the first free adapter
    std::optional<int> address;
    bool json = false;
    bool trace = false;
    std::string driver;  // empty: the default ("auto"); "sim" is --simulate
    // The least time any reply is waited for; unset: the link's loaded-bus default.
    std::optional<int> replyTimeoutMs;
    // The simulated bench (with --simulate).
    std::string simState;  // file that keeps the simulated chips from one run to the next
    std::optional<int> simChips;
    std::optional<double> magnetSpeed;
    std::optional<std::string> magnetOffCentre;  // COUNTS[,PHASE], checked when parsed
    std::optional<std::string> magnetTilt;       // AGC levels
    bool loadedBus = false;                      // now and then 10 to 40 ms more for a reply
};

struct Arguments {
    GlobalOptions options;
    bool help = false;
    bool version = false;
    std::string command;            // empty with --help or --version alone
    std::vector<std::string> rest;  // the command's own arguments
};

// Splits the program's arguments (without the program name) into the global options,
// the command and its arguments. On a mistake returns the one-line reason.
struct ParsedArguments {
    Arguments arguments;
    std::string error;
    bool ok() const { return error.empty(); }
};
ParsedArguments parseArguments(const std::vector<std::string>& args);

// --driver's name for the simulated adapter; the other names are the real backends'.
inline constexpr const char* kSimulatedDriverName = "sim";

// The longest --reply-timeout accepted: a minute.
inline constexpr int kMaxReplyTimeoutMs = 60'000;

// The highest number of simulated chips that --chips accepts.
inline constexpr int kMaxSimulatedChips = 4;

// A decimal number as typed on a command line; nothing for text that is not a finite number.
std::optional<double> parseDecimal(const std::string& text);

// Whole numbers as typed on a command line: decimal, or hexadecimal after "0x".
std::optional<long long> parseInteger(const std::string& text);

}  // namespace qe::cli
