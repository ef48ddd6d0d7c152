#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "bench.h"
#include "environment.h"
#include "exit_status.h"
#include "failure_kind.h"
#include "output.h"

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
    Bench* bench;  // nullptr for Needs::Nothing

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

struct Command {
    const char* name;
    const char* synopsis;  // "set FIELD=VALUE..."
    const char* summary;   // one line for the command list
    const char* details;   // what `help COMMAND` adds
    PreparedCommand (*prepare)(const std::vector<std::string>& args);
};

const std::vector<Command>& commands();
const Command* findCommand(std::string_view name);

// The commands' preparations, by the file that holds them.
PreparedCommand prepareList(const std::vector<std::string>& args);
PreparedCommand prepareScan(const std::vector<std::string>& args);
PreparedCommand preparePower(const std::vector<std::string>& args);
PreparedCommand prepareShow(const std::vector<std::string>& args);
PreparedCommand prepareGet(const std::vector<std::string>& args);
PreparedCommand prepareSet(const std::vector<std::string>& args);
PreparedCommand prepareAddress(const std::vector<std::string>& args);
PreparedCommand prepareZero(const std::vector<std::string>& args);
PreparedCommand prepareHysteresis(const std::vector<std::string>& args);
PreparedCommand prepareProg(const std::vector<std::string>& args);
PreparedCommand prepareReadEeprom(const std::vector<std::string>& args);
PreparedCommand prepareSave(const std::vector<std::string>& args);
PreparedCommand prepareLoad(const std::vector<std::string>& args);
PreparedCommand prepareDecode(const std::vector<std::string>& args);
PreparedCommand prepareDiff(const std::vector<std::string>& args);
PreparedCommand prepareDb(const std::vector<std::string>& args);
PreparedCommand prepareWatch(const std::vector<std::string>& args);
PreparedCommand prepareMagnetCheck(const std::vector<std::string>& args);
PreparedCommand prepareProgram(const std::vector<std::string>& args);

// A file a command would write that is already there: replaced only with --force.
std::string refuseToReplace(const std::string& path, bool force);

// "qe7204ctl: reason" on stderr; with --json one object {"error": reason, "exit_status": N}
// instead, so that a script reading JSON reads the failure too.
void reportError(Environment& environment, bool json, const std::string& reason, int status);

// For commands without arguments.
std::string expectNoArguments(const std::vector<std::string>& args);

}  // namespace qe::cli
