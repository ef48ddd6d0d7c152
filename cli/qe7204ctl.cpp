#include "qe7204ctl.h"

#include <sstream>

#include "arguments.h"
#include "backend_options.h"
#include "bench.h"
#include "command.h"
#include "exit_status.h"
#include "output.h"

namespace qe::cli {

namespace {

constexpr const char* kProgram = "qe7204ctl";

int usageError(Environment& environment, const std::string& reason) {
    environment.err << kProgram << ": " << reason << "\nTry '" << kProgram << " --help'.\n";
    return kExitUsage;
}

// Brings the adapter and the chip as far as the command needs them.
chip::Result reach(Bench& bench, Needs needs) {
    switch (needs) {
        case Needs::Nothing:
            break;
        case Needs::Devices:
            bench.chip().enumerateDevices();
            break;
        case Needs::Adapter:
            return bench.chip().openAdapter();
        case Needs::Chip:
            return bench.openChip();
    }
    return chip::Result::done();
}

int runCommand(const Arguments& arguments, const Command& command, Environment& environment) {
    const PreparedCommand prepared = command.prepare(arguments.rest);
    if (!prepared.error.empty()) {
        if (prepared.errorStatus == kExitUsage && !arguments.options.json)
            return usageError(environment, prepared.error);
        reportError(environment, arguments.options.json, prepared.error, prepared.errorStatus);
        return prepared.errorStatus;
    }
    Output output(environment.out, arguments.options.json);
    Invocation call{arguments.options, environment, output, nullptr};
    if (prepared.needs == Needs::Nothing) return prepared.run(call);

    Bench bench(arguments.options, environment);
    std::string error;
    if (!bench.prepare(error)) return call.fail(error);
    call.bench = &bench;
    if (const chip::Result reached = reach(bench, prepared.needs); !reached.ok())
        return call.fail(whyNotReached(bench, bench.driver(), reached, arguments.options.serial));
    const int status = prepared.run(call);
    output.flush();
    // What the core told the window's user along the way, when it did not end the command.
    if (status == kExitSuccess)
        for (const std::string& text : bench.messages().texts())
            environment.err << kProgram << ": note: " << text << '\n';
    return status;
}

constexpr std::size_t kHelpColumn = 30;
constexpr std::size_t kHelpWidth = 80;

// "  --chips N                   With --simulate: ...", the text wrapped at word ends.
std::string optionHelp(const std::string& synopsis, const std::string& help) {
    const std::string indent(kHelpColumn, ' ');
    std::string text = "  " + synopsis;
    if (text.size() + 2 > kHelpColumn) text += "\n" + indent;
    text.resize(std::max(text.size(), kHelpColumn), ' ');
    std::size_t lineStart = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
    std::istringstream words(help);
    std::string word;
    bool first = true;
    while (words >> word) {
        if (!first && text.size() - lineStart + 1 + word.size() > kHelpWidth) {
            text += "\n" + indent;
            lineStart = text.size() - indent.size();
        } else if (!first) {
            text += ' ';
        }
        text += word;
        first = false;
    }
    return text + "\n";
}

}  // namespace

std::string generalHelp() {
    std::ostringstream text;
    text << "Usage: " << kProgram << " [OPTION]... COMMAND [ARGUMENT]...\n"
         << "Configures and watches the QE7204 magnetic rotary encoder through its USB adapter.\n\n"
         << "Commands:\n";
    for (const Command& command : commands()) {
        std::string synopsis = command.synopsis;
        synopsis.resize(std::max<std::size_t>(synopsis.size() + 2, 30), ' ');
        text << "  " << synopsis << command.summary << '\n';
    }
    text << "  help COMMAND                More about one command.\n\n"
         << "Options (before or after the command; --name=value works as --name value):\n";
    for (const BackendOption& option : backendOptions())
        if (option.offeredBy(Program::CommandLine))
            text << optionHelp("--" + option.name + (option.flag() ? "" : " " + option.valueName),
                               option.help);
    text << "  --serial S                  The adapter with serial number S (default: the first).\n"
         << "  --address A                 The chip at bus address A when several answer.\n"
         << "  --json                      Results as JSON: one document per command, one object\n"
         << "                              per line for watch; a failure as one object\n"
         << "                              {\"error\": REASON, \"exit_status\": N} on stderr.\n"
         << "  --trace                     Every frame sent and received, decoded, on stderr.\n"
         << "  --reply-timeout MS          Wait at least MS ms for every reply (default 116: the\n"
         << "                              latency timer and 100 ms for a busy USB bus).\n"
         << "  --help                      This help.\n"
         << "  -V, --version               The program's version.\n\n"
         << "Commands that talk to the chip switch its supply on and leave it on (not power off).\n"
         << "Exit status (the reason is on stderr):\n"
         << "  0    success\n"
         << "  1    any other failure (standard output could not be written, ...)\n"
         << "  2    the command line was not understood; nothing was touched\n"
         << "  3    diff found differences\n"
         << "  4    the adapter: none found, held by another program, no permission, the\n"
         << "       driver library missing, or lost during the command\n"
         << "  5    the part: no chip, several chips, no reply, a write refused, not verified,\n"
         << "       a magnet check that could not judge\n"
         << "  6    a file could not be read, written or used (a .qcf file not of 16 bytes)\n"
         << "  7    magnet-check: the verdict is worse than --require\n"
         << "  8    the records database: not reached or not usable; with program, a unit\n"
         << "       that passed but whose record waits in the spool\n"
         << "  130  interrupted (Ctrl-C or TERM) before the work asked for was done\n";
    return text.str();
}

std::string commandHelp(const std::string& name) {
    const Command* command = findCommand(name);
    if (!command) return {};
    std::string text = std::string("Usage: ") + kProgram + " [OPTION]... " + command->synopsis +
                       "\n" + command->summary + "\n";
    if (*command->details) text += std::string("\n") + command->details + "\n";
    return text;
}

namespace {

int runArguments(const std::vector<std::string>& args, Environment& environment) {
    const ParsedArguments parsed = parseArguments(args);
    if (!parsed.ok()) return usageError(environment, parsed.error);
    const Arguments& arguments = parsed.arguments;
    if (arguments.version) {
        environment.out << kProgram << ' ' << QE7204_VERSION << '\n';
        return kExitSuccess;
    }
    if (arguments.help && arguments.command.empty()) {
        environment.out << generalHelp();
        return kExitSuccess;
    }
    if (arguments.command == "help" || arguments.help) {
        const std::string name = arguments.command == "help"
                                     ? (arguments.rest.empty() ? std::string() : arguments.rest[0])
                                     : arguments.command;
        if (name.empty()) {
            environment.out << generalHelp();
            return kExitSuccess;
        }
        const std::string help = commandHelp(name);
        if (help.empty()) return usageError(environment, "unknown command '" + name + "'");
        environment.out << help;
        return kExitSuccess;
    }
    const Command* command = findCommand(arguments.command);
    if (!command) return usageError(environment, "unknown command '" + arguments.command + "'");
    return runCommand(arguments, *command, environment);
}

}  // namespace

int runQe7204ctl(const std::vector<std::string>& args, Environment& environment) {
    const int status = runArguments(args, environment);
    // A result that never reached its reader (a full disk, a closed pipe) is no success.
    if (status == kExitSuccess && !environment.out.flush()) {
        environment.err << kProgram << ": standard output cannot be written\n";
        return kExitFailure;
    }
    return status;
}

}  // namespace qe::cli
