#include "arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

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

const BackendOption* backendOption(const std::string& name) {
    for (const BackendOption& option : backendOptions())
        if (option.offeredBy(Program::CommandLine) && name == "--" + option.name) return &option;
    return nullptr;
}

bool parseGlobalOption(OptionReader& option, Arguments& parsed, BackendOptionReader& backend,
                       std::string& error) {
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
    const auto nonEmptyValue = [&]() -> std::optional<std::string> {
        auto value = option.value(error);
        if (value && value->empty()) {
            error = "option " + name + " needs a value";
            return std::nullopt;
        }
        return value;
    };
    if (name == "--help" || name == "-h") return flag(parsed.help);
    if (name == "--version" || name == "-V") return flag(parsed.version);
    if (name == "--json") return flag(o.json);
    if (name == "--trace") return flag(o.trace);

    if (name == "--serial") {
        const auto value = nonEmptyValue();
        if (value) o.serial = *value;
        return value.has_value();
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
    if (const BackendOption* declared = backendOption(name)) {
        bool given = false;
        if (declared->flag() && !flag(given)) return false;
        const auto value = declared->flag() ? std::optional<std::string>("") : nonEmptyValue();
        if (!value) return false;
        if (!backend.take(*declared, *value)) error = backend.error();
        return error.empty();
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
                       BackendOptionReader& backend, std::string& error) {
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
        if (parseGlobalOption(option, parsed, backend, error)) continue;
        if (!option.unknown) return false;
        error.clear();
        parsed.rest.push_back(option.name);
        if (option.inlineValue) parsed.rest.push_back(*option.inlineValue);
    }
    return true;
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
    BackendOptionReader backend(Program::CommandLine);
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') break;  // the command
        OptionReader option = readerFor(args, i);
        if (!parseGlobalOption(option, parsed, backend, result.error)) return result;
    }
    if (i < args.size()) {
        parsed.command = args[i];
        if (!takeGlobalOptions(args, i + 1, parsed, backend, result.error)) return result;
    }
    if (!backend.finish()) result.error = backend.error();
    parsed.options.backend = backend.settings();
    if (result.ok() && parsed.command.empty() && !parsed.help && !parsed.version)
        result.error = "no command given";
    return result;
}

}  // namespace qe::cli
