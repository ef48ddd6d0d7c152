#pragma once

#include <optional>
#include <string>
#include <vector>

#include "backend_options.h"

namespace qe::cli {

// The options that hold for every command, before or after the command's name.
struct GlobalOptions {
    std::string serial;  // empty: the first free adapter
    std::optional<int> address;
    bool json = false;
    bool trace = false;
    // The least time any reply is waited for; unset: the link's loaded-bus default.
    std::optional<int> replyTimeoutMs;
    BackendSettings backend;  // --driver, --simulate and the simulated bench
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

// The longest --reply-timeout accepted: a minute.
inline constexpr int kMaxReplyTimeoutMs = 60'000;

// A decimal number as typed on a command line; nothing for text that is not a finite number.
std::optional<double> parseDecimal(const std::string& text);

// Whole numbers as typed on a command line: decimal, or hexadecimal after "0x".
std::optional<long long> parseInteger(const std::string& text);

}  // namespace qe::cli
