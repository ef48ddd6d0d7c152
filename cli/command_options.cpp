#include "command_options.h"

#include <CLI/CLI.hpp>

namespace qe::cli {

namespace {

// Every occurrence is handed on as it is met, so the last one given counts and a value is
// never taken for another option.
CLI::Option* asTyped(CLI::Option* option, bool hidden) {
    option->trigger_on_parse()->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    if (hidden) option->group("");
    return option;
}

}  // namespace

void CommandOptions::flag(const std::string& names, bool& given, const std::string& help) {
    std::string& error = firstError_;
    const auto take = [&given, &error, names](const CLI::results_t& results) {
        // "--json=true" is the flag as well; any other value is a mistake.
        for (const std::string& result : results) {
            if (result.empty() || result == "true") {
                given = true;
            } else if (error.empty()) {
                error = "option " + names.substr(names.rfind(',') + 1) + " takes no value";
            }
        }
        return true;
    };
    asTyped(app_.add_option(names, take, help), hidden_)->expected(0);
}

void CommandOptions::value(const std::string& name, std::optional<std::string>& value,
                           const std::string& valueName, const std::string& help) {
    const auto take = [&value](const CLI::results_t& results) {
        value = results.empty() ? std::string() : results.back();
        return true;
    };
    // A missing value is left to the command, which says what the option takes.
    asTyped(app_.add_option(name, take, help), hidden_)->expected(0, 1)->type_name(valueName);
}

void CommandOptions::values(const std::string& name,
                            std::optional<std::vector<std::string>>& values, int count,
                            const std::string& valueNames, const std::string& help) {
    const auto take = [&values](const CLI::results_t& results) {
        values.emplace();
        for (const std::string& result : results)
            if (!result.empty()) values->push_back(result);
        return true;
    };
    asTyped(app_.add_option(name, take, help), hidden_)->expected(0, count)->type_name(valueNames);
}

void CommandOptions::arguments(std::vector<std::string>& words, const std::string& synopsis) {
    app_.add_option("arguments", words)->type_name(synopsis);
}

std::string notText(const std::optional<std::string>& value) {
    return value && !value->empty() ? ", not '" + *value + "'" : "";
}

}  // namespace qe::cli
