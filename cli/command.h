#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "bench.h"
#include "command_options.h"
#include "environment.h"
#include "exit_status.h"
#include "failure_kind.h"
#include "output.h"
#include "progress_line.h"

namespace qe::cli {

// What a command needs before it runs; each step includes the ones above it.
enum class Needs {
    Nothing,  // files only
    Devices,  // the list of attached adapters
    Adapter,  // an open adapter; the chip is not touched
    Chip,     // the chip powered as the window powers it, chosen, its registers read
};

// A command while it runs.
struct Invocation {
    const GlobalOptions& options;
    Environment& environment;
    Output& output;
    Bench* bench;            // nullptr for Needs::Nothing
    ProgressLine& progress;  // long work tells how far it got

    // Prints "qe7204ctl: reason" on stderr and gives the status.
    int fail(const std::string& reason, int status = kExitFailure) const;
    int fail(FailureKind kind, const std::string& reason) const {
        return fail(reason, exitStatusOf(kind));
    }
    int fail(const CommandFailure& failure) const { return fail(failure.kind, failure.reason); }
    // A chip operation that failed, told apart from a lost adapter.
    int fail(const chip::Result& result, const std::string& fallback) const {
        return fail(whyFailed(*bench, result, fallback));
    }
};

// A command with its arguments checked: nothing has touched the adapter yet.
struct PreparedCommand {
    std::string error;  // why the command cannot run
    Needs needs = Needs::Nothing;
    std::function<int(Invocation&)> run;
    int errorStatus = kExitUsage;

    static PreparedCommand usage(std::string error) { return {std::move(error), {}, {}}; }
    // A file named on the command line that cannot be used: found before the chip is touched.
    static PreparedCommand fileFault(std::string error) {
        return {std::move(error), {}, {}, kExitFile};
    }
};

// Checks a command's options and arguments once the line is parsed.
using CommandPreparation = std::function<PreparedCommand()>;

struct Command {
    const char* name;
    const char* summary;  // one line for the command list
    const char* details;  // what the command's help adds
    // Declares the command's options and arguments, into what the preparation reads.
    CommandPreparation (*declare)(CommandOptions& options);
};

const std::vector<Command>& commands();
const Command* findCommand(std::string_view name);

// The commands' declarations, by the file that holds them.
CommandPreparation declareList(CommandOptions& options);
CommandPreparation declareScan(CommandOptions& options);
CommandPreparation declarePower(CommandOptions& options);
CommandPreparation declareShow(CommandOptions& options);
CommandPreparation declareGet(CommandOptions& options);
CommandPreparation declareSet(CommandOptions& options);
CommandPreparation declareAddress(CommandOptions& options);
CommandPreparation declareZero(CommandOptions& options);
CommandPreparation declareHysteresis(CommandOptions& options);
CommandPreparation declareProg(CommandOptions& options);
CommandPreparation declareReadEeprom(CommandOptions& options);
CommandPreparation declareSave(CommandOptions& options);
CommandPreparation declareLoad(CommandOptions& options);
CommandPreparation declareDecode(CommandOptions& options);
CommandPreparation declareDiff(CommandOptions& options);
CommandPreparation declareDb(CommandOptions& options);
CommandPreparation declareWatch(CommandOptions& options);
CommandPreparation declareMagnetCheck(CommandOptions& options);
CommandPreparation declareProgram(CommandOptions& options);

// The words after a command, kept for its preparation.
using Words = std::shared_ptr<std::vector<std::string>>;
Words declareWords(CommandOptions& options, const std::string& synopsis);

// A file a command would write that is already there: replaced only with --force.
std::string refuseToReplace(const std::string& path, bool force);

// "qe7204ctl: reason" on stderr; with --json one object {"error": reason, "exit_status": N}
// instead, so that a script reading JSON reads the failure too.
void reportError(Environment& environment, bool json, const std::string& reason, int status);

}  // namespace qe::cli
