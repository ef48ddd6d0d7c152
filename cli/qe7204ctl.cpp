#include "qe7204ctl.h"

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

int runCommand(const Arguments& arguments, Environment& environment) {
    const PreparedCommand prepared = arguments.prepare();
    if (!prepared.error.empty()) {
        if (prepared.errorStatus == kExitUsage && !arguments.options.json)
            return usageError(environment, prepared.error);
        reportError(environment, arguments.options.json, prepared.error, prepared.errorStatus);
        return prepared.errorStatus;
    }
    Output output(environment.out, arguments.options.json);
    ProgressLine progress(environment, !arguments.options.json);
    Invocation call{arguments.options, environment, output, nullptr, progress};
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

int runArguments(const std::vector<std::string>& args, Environment& environment) {
    const ParsedArguments parsed = parseArguments(args);
    const Arguments& arguments = parsed.arguments;
    if (!parsed.ok()) {
        if (!arguments.options.json) return usageError(environment, parsed.error);
        reportError(environment, true, parsed.error, kExitUsage);
        return kExitUsage;
    }
    if (arguments.version) {
        environment.out << kProgram << ' ' << QE7204_VERSION << '\n';
        return kExitSuccess;
    }
    if (arguments.help) {
        environment.out << arguments.helpText;
        return kExitSuccess;
    }
    return runCommand(arguments, environment);
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
