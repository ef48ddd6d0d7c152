#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "backend_options.h"

namespace qe::cli {

struct Command;
struct PreparedCommand;

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
    std::string helpText;  // with help: the general help or the command's
    bool version = false;
    const Command* command = nullptr;  // none with --help or --version alone
    // Checks the command's own options and arguments as given.
    std::function<PreparedCommand()> prepare;
};

// Reads the program's arguments (without the program name): the global options, the command
// and its own options and arguments. On a mistake returns the one-line reason.
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
