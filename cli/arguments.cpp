#include "arguments.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "command.h"
#include "command_options.h"
#include "help_text.h"

namespace qe::cli {

namespace {

constexpr const char* kProgram = "qe7204ctl";
constexpr const char* kDescription =
    "Configures and watches the QE7204 magnetic rotary encoder through its USB adapter.";
constexpr const char* kExitStatuses =
    "Commands that talk to the chip switch its supply on and leave it on (not power off).\n"
    "Exit status (the reason is on stderr):\n"
    "  0    success\n"
    "  1    any other failure (standard output could not be written, ...)\n"
    "  2    the command line was not understood; nothing was touched\n"
    "  3    diff found differences\n"
    "  4    the adapter: none found, held by another program, no permission, the\n"
    "       driver library missing, or lost during the command\n"
    "  5    the part: no chip, several chips, no reply, a write refused, not verified,\n"
    "       a magnet check that could not judge\n"
    "  6    a file could not be read, written or used (a .qcf file not of 16 bytes)\n"
    "  7    magnet-check: the verdict is worse than --require\n"
    "  8    the records database: not reached or not usable; with program, a unit\n"
    "       that passed but whose record waits in the spool\n"
    "  130  interrupted (Ctrl-C or TERM) before the work asked for was done\n";

// A backend option as typed.
struct BackendGiven {
    bool flag = false;
    std::optional<std::string> value;
};

// The options of every command as typed, before or after the command.
struct GlobalGiven {
    std::optional<std::string> serial;
    std::optional<std::string> address;
    std::optional<std::string> replyTimeout;
    bool json = false;
    bool trace = false;
    bool version = false;
    // One for each option of the registry, in its order; never resized once declared.
    std::vector<BackendGiven> backend = std::vector<BackendGiven>(backendOptions().size());
};

void declareGlobalOptions(CommandOptions& declare, GlobalGiven& given) {
    for (std::size_t i = 0; i < backendOptions().size(); ++i) {
        const BackendOption& option = backendOptions()[i];
        if (!option.offeredBy(Program::CommandLine)) continue;
        if (option.flag())
            declare.flag("--" + option.name, given.backend[i].flag, option.help);
        else
            declare.value("--" + option.name, given.backend[i].value, option.valueName,
                          option.help);
    }
    declare.value("--serial", given.serial, "S",
                  "The adapter with serial number S (default: the first).");
    declare.value("--address", given.address, "A",
                  "The chip at bus address A when several answer.");
    declare.flag("--json", given.json,
                 "Results as JSON: one document per command, one object per line for watch; a "
                 "failure as one object {\"error\": REASON, \"exit_status\": N} on stderr.");
    declare.flag("--trace", given.trace, "Every frame sent and received, decoded, on stderr.");
    declare.value("--reply-timeout", given.replyTimeout, "MS",
                  "Wait at least MS ms for every reply (default 116: the latency timer and 100 ms "
                  "for a busy USB bus).");
    declare.flag("-V,--version", given.version, "The program's version.");
}

// A whole number option within its range; the refusal names what it takes.
std::string readNumber(const std::optional<std::string>& text, const std::string& name,
                       long long lowest, long long highest, const std::string& takes,
                       std::optional<int>& target) {
    if (!text) return {};
    if (text->empty()) return "option " + name + " needs a value";
    const auto number = parseInteger(*text);
    if (!number || *number < lowest || *number > highest)
        return name + " takes " + takes + ", not '" + *text + "'";
    target = static_cast<int>(*number);
    return {};
}

// The global options' values checked, the backend ones settled together.
std::string settle(const GlobalGiven& given, GlobalOptions& options) {
    options.json = given.json;
    options.trace = given.trace;
    BackendOptionReader backend(Program::CommandLine);
    for (std::size_t i = 0; i < backendOptions().size(); ++i) {
        const BackendOption& option = backendOptions()[i];
        const BackendGiven& typed = given.backend[i];
        if (typed.value && typed.value->empty())
            return "option --" + option.name + " needs a value";
        if ((typed.flag || typed.value) && !backend.take(option, typed.value.value_or("")))
            return backend.error();
    }
    if (given.serial && given.serial->empty()) return "option --serial needs a value";
    options.serial = given.serial.value_or("");
    if (std::string refusal = readNumber(given.address, "--address", 0, 127,
                                         "a chip address from 0 to 127", options.address);
        !refusal.empty())
        return refusal;
    if (std::string refusal = readNumber(
            given.replyTimeout, "--reply-timeout", 1, kMaxReplyTimeoutMs,
            "milliseconds from 1 to " + std::to_string(kMaxReplyTimeoutMs), options.replyTimeoutMs);
        !refusal.empty())
        return refusal;
    if (!backend.finish()) return backend.error();
    options.backend = backend.settings();
    return {};
}

// The whole command line, declared once: the program's options, each command with its own and
// the global ones again (they may follow the command), and help.
class CommandLine {
public:
    CommandLine() {
        program_.formatter(makeHelpFormatter());
        program_.footer(kExitStatuses);
        program_.require_subcommand(0, 1);  // a second command name is an argument
        program_.allow_extras();            // told apart and reported below
        program_.set_help_flag();           // listed last
        CommandOptions global(program_, error_);
        declareGlobalOptions(global, given_);
        program_.set_help_flag("-h,--help", "This help.");
        for (const Command& command : commands()) {
            CLI::App& declared = declareCommand(command.name, command.summary);
            declared.footer(command.details);
            CommandOptions own(declared, error_);
            preparations_.push_back(command.declare(own));
            // Words for a command that takes none are caught, to be refused: else CLI11
            // would hand them, after "--" too, back to the program as options.
            if (declared
                    .get_options([](const CLI::Option* option) { return option->get_positional(); })
                    .empty())
                own.arguments(unexpected_, "");
            finishCommand(declared);
        }
        CLI::App& help = declareCommand("help", "More about one command.");
        CommandOptions(help, error_).arguments(helpTopic_, "COMMAND");
        finishCommand(help);
    }

    ParsedArguments parse(const std::vector<std::string>& args) {
        ParsedArguments result;
        Arguments& parsed = result.arguments;
        std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 reads them
        try {
            program_.parse(reversed);
        } catch (const CLI::CallForHelp&) {
            parsed.help = true;
            parsed.helpText = program_.help();
        } catch (const CLI::ParseError& error) {
            keepError(error.what());
        }
        const CLI::App* chosen =
            program_.get_subcommands().empty() ? nullptr : program_.get_subcommands().front();
        keepError(strayWords(chosen));
        keepError(settle(given_, parsed.options));
        result.error = error_;
        parsed.version = given_.version;
        if (!result.ok() || parsed.version || parsed.help) return result;
        if (!chosen) {
            result.error = "no command given";
        } else if (chosen->get_name() == "help") {
            parsed.help = true;
            parsed.helpText = helpText(helpTopic_.empty() ? std::string() : helpTopic_.front());
            if (parsed.helpText.empty())
                result.error = "unknown command '" + helpTopic_.front() + "'";
        } else {
            parsed.command = findCommand(chosen->get_name());
            parsed.prepare =
                preparations_.at(static_cast<std::size_t>(parsed.command - commands().data()));
        }
        return result;
    }

    std::string helpText(const std::string& command) const {
        // Not program_.help(): that gives the help of the command just parsed.
        if (command.empty())
            return program_.get_formatter()->make_help(&program_, "", CLI::AppFormatMode::Normal);
        for (const CLI::App* declared : program_.get_subcommands(
                 [&](const CLI::App* app) { return app->get_name() == command; }))
            return declared->help();
        return {};
    }

private:
    CLI::App& declareCommand(const std::string& name, const std::string& summary) {
        CLI::App& declared = *program_.add_subcommand(name, summary);
        declared.footer("");  // not the program's
        declared.set_help_flag();
        return declared;
    }

    // The global options, accepted after the command too, and help.
    void finishCommand(CLI::App& declared) {
        CommandOptions global(declared, error_);
        global.hideFromHelp();
        declareGlobalOptions(global, given_);
        declared.set_help_flag("-h,--help", "This help.");
    }

    // What neither the program nor the command took.
    std::string strayWords(const CLI::App* command) const {
        const auto isOption = [](const std::string& word) {
            return word.size() > 1 && word[0] == '-';
        };
        // CLI11 keeps the "--" that ended the options among them.
        for (const std::string& word : program_.remaining())
            if (word != "--")
                return isOption(word) ? "unknown option " + word : "unknown command '" + word + "'";
        if (command)
            for (const std::string& word : command->remaining())
                if (word != "--")
                    return isOption(word) ? command->get_name() + " does not take '" + word + "'"
                                          : "unexpected argument '" + word + "'";
        if (!unexpected_.empty()) return "unexpected argument '" + unexpected_.front() + "'";
        return {};
    }

    void keepError(const std::string& error) {
        if (error_.empty()) error_ = error;
    }

    std::string error_;
    GlobalGiven given_;
    std::vector<std::string> helpTopic_;
    std::vector<std::string> unexpected_;
    std::vector<CommandPreparation> preparations_;  // as commands() lists them
    CLI::App program_{kDescription, kProgram};
};

}  // namespace

ParsedArguments parseArguments(const std::vector<std::string>& args) {
    return CommandLine().parse(args);
}

std::optional<double> parseDecimal(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long long> parseInteger(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 12) return std::nullopt;
    for (char c : digits) {
        const bool digit =
            (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
        if (!digit) return std::nullopt;
    }
    return std::stoll(digits, nullptr, hex ? 16 : 10);
}

}  // namespace qe::cli
