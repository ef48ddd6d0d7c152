#include "arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "driver_choice.h"
#include "simulation.h"

namespace qe::cli {

namespace {

// "--name=value" or "--name value"; `value` is empty and `index` unchanged when the option
// takes no value.
struct OptionReader {
    const std::vector<std::string>& args;
    std::size_t& index;
    std::string name;
    std::optional<std::string> inlineValue;
    bool unknown = false;  // not a global option: perhaps the command's own

    std::optional<std::string> value(std::string& error) {
        if (inlineValue) return inlineValue;
        if (index + 1 >= args.size()) {
            error = "option " + name + " needs a value";
            return std::nullopt;
        }
        return args[++index];
    }
};

bool parseGlobalOption(OptionReader& option, Arguments& parsed, std::string& error) {
    GlobalOptions& o = parsed.options;
    const std::string& name = option.name;
    const auto flag = [&](bool& target) {
        if (option.inlineValue) {
            error = "option " + name + " takes no value";
            return false;
        }
        target = true;
        return true;
    };
    if (name == "--help" || name == "-h") return flag(parsed.help);
    if (name == "--version" || name == "-V") return flag(parsed.version);
    if (name == "--simulate") return flag(o.simulate);
    if (name == "--json") return flag(o.json);
    if (name == "--trace") return flag(o.trace);
    if (name == "--loaded-bus") return flag(o.loadedBus);

    if (name == "--serial" || name == "--driver" || name == "--sim-state") {
        const auto value = option.value(error);
        if (!value) return false;
        if (value->empty()) {
            error = "option " + name + " needs a value";
            return false;
        }
        (name == "--serial" ? o.serial : name == "--driver" ? o.driver : o.simState) = *value;
        return true;
    }
    if (name == "--address") {
        const auto value = option.value(error);
        if (!value) return false;
        const auto number = parseInteger(*value);
        if (!number || *number < 0 || *number > 127) {
            error = "--address takes a chip address from 0 to 127, not '" + *value + "'";
            return false;
        }
        o.address = static_cast<int>(*number);
        return true;
    }
    if (name == "--reply-timeout") {
        const auto value = option.value(error);
        if (!value) return false;
        const auto number = parseInteger(*value);
        if (!number || *number < 1 || *number > kMaxReplyTimeoutMs) {
            error = "--reply-timeout takes milliseconds from 1 to " +
                    std::to_string(kMaxReplyTimeoutMs) + ", not '" + *value + "'";
            return false;
        }
        o.replyTimeoutMs = static_cast<int>(*number);
        return true;
    }
    if (name == "--chips") {
        const auto value = option.value(error);
        if (!value) return false;
        const auto number = parseInteger(*value);
        if (!number || *number < 0 || *number > kMaxSimulatedChips) {
            error = "--chips takes a whole number from 0 to " + std::to_string(kMaxSimulatedChips) +
                    ", not '" + *value + "'";
            return false;
        }
        o.simChips = static_cast<int>(*number);
        return true;
    }
    if (name == "--magnet-speed") {
        const auto value = option.value(error);
        if (!value) return false;
        const auto speed = parseDecimal(*value);
        if (!speed || std::abs(*speed) > sim::kMaxMagnetSpeedRps) {
            error = "--magnet-speed takes turns per second from -" +
                    std::to_string(static_cast<int>(sim::kMaxMagnetSpeedRps)) + " to " +
                    std::to_string(static_cast<int>(sim::kMaxMagnetSpeedRps)) + ", not '" + *value +
                    "'";
            return false;
        }
        o.magnetSpeed = speed;
        return true;
    }
    if (name == "--magnet-off-centre" || name == "--magnet-tilt") {
        const auto value = option.value(error);
        if (!value) return false;
        sim::SimulationOptions checked;
        if (name == "--magnet-off-centre") {
            if (!sim::parseOffCentre(*value, checked)) {
                error = "--magnet-off-centre takes COUNTS from 0 to " +
                        std::to_string(static_cast<int>(sim::kMaxOffCentreCounts)) +
                        ", optionally followed by ,PHASE in degrees, not '" + *value + "'";
                return false;
            }
            o.magnetOffCentre = *value;
        } else {
            if (!sim::parseTilt(*value, checked)) {
                error = "--magnet-tilt takes AGC levels from 0 to " +
                        std::to_string(static_cast<int>(sim::kMaxTiltAgcLevels)) + ", not '" +
                        *value + "'";
                return false;
            }
            o.magnetTilt = *value;
        }
        return true;
    }
    option.unknown = true;
    error = "unknown option " + name;
    return false;
}

OptionReader readerFor(const std::vector<std::string>& args, std::size_t& index) {
    const std::string& arg = args[index];
    OptionReader option{args, index, arg, std::nullopt};
    if (const auto equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
        option.name = arg.substr(0, equals);
        option.inlineValue = arg.substr(equals + 1);
    }
    return option;
}

// The global options may follow the command too; what is left is the command's, with
// "--name=value" given to it as "--name value". After "--" everything is the command's.
bool takeGlobalOptions(const std::vector<std::string>& args, std::size_t from, Arguments& parsed,
                       std::string& error) {
    bool optionsEnd = false;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            parsed.rest.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        OptionReader option = readerFor(args, i);
        if (parseGlobalOption(option, parsed, error)) continue;
        if (!option.unknown) return false;
        error.clear();
        parsed.rest.push_back(option.name);
        if (option.inlineValue) parsed.rest.push_back(*option.inlineValue);
    }
    return true;
}

std::string checkCombinations(const GlobalOptions& o) {
    if (!o.driver.empty() && o.driver != kSimulatedDriverName && !driverChoiceFromName(o.driver))
        return "--driver takes " + driverChoiceNames() + "|" + kSimulatedDriverName + ", not '" +
               o.driver + "'";
    const bool simulationSet = !o.simState.empty() || o.simChips || o.magnetSpeed ||
                               o.magnetOffCentre || o.magnetTilt || o.loadedBus;
    if (simulationSet && !o.simulate)
        return "--sim-state, --chips, --loaded-bus and the --magnet options need --simulate";
    if (o.simulate && !o.driver.empty() && o.driver != kSimulatedDriverName)
        return "--simulate and --driver " + o.driver + " exclude each other";
    return {};
}

}  // namespace

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

ParsedArguments parseArguments(const std::vector<std::string>& args) {
    ParsedArguments result;
    Arguments& parsed = result.arguments;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') break;  // the command
        OptionReader option = readerFor(args, i);
        if (!parseGlobalOption(option, parsed, result.error)) return result;
    }
    if (i < args.size()) {
        parsed.command = args[i];
        if (!takeGlobalOptions(args, i + 1, parsed, result.error)) return result;
    }
    if (parsed.options.driver == kSimulatedDriverName) parsed.options.simulate = true;
    result.error = checkCombinations(parsed.options);
    if (result.ok() && parsed.command.empty() && !parsed.help && !parsed.version)
        result.error = "no command given";
    return result;
}

}  // namespace qe::cli
