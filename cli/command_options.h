#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace qe::cli {

// How the program and each command declare their options and arguments, once: the parser
// and the help are both made from these declarations. Values are kept as typed; the command
// checks them and says what it takes.
class CommandOptions {
public:
    // `firstError` keeps the first mistake found while parsing.
    CommandOptions(CLI::App& app, std::string& firstError) : app_(app), firstError_(firstError) {}

    // --name, without a value.
    void flag(const std::string& names, bool& given, const std::string& help);
    // --name VALUE or --name=VALUE, the last one given counting: unset when not given, empty
    // when given without a value.
    void value(const std::string& name, std::optional<std::string>& value,
               const std::string& valueName, const std::string& help);
    // --name with up to `count` values (--log N FILE): those given, for the command to check.
    void values(const std::string& name, std::optional<std::vector<std::string>>& values, int count,
                const std::string& valueNames, const std::string& help);
    // The words that are no options; `synopsis` shows them in the usage ("FIELD=VALUE...").
    void arguments(std::vector<std::string>& words, const std::string& synopsis);

    // Declared from here on: parsed, but left out of the help (the global options repeated
    // after a command).
    void hideFromHelp() { hidden_ = true; }

private:
    CLI::App& app_;
    std::string& firstError_;
    bool hidden_ = false;
};

// The value as a refusal quotes it (", not 'fast'"); nothing when the option had none.
std::string notText(const std::optional<std::string>& value);

}  // namespace qe::cli
