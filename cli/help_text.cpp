#include "help_text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <sstream>

namespace qe::cli {

namespace {

constexpr std::size_t kHelpColumn = 30;
constexpr std::size_t kHelpWidth = 80;

// "  --chips N                   With --simulate: ...", the text wrapped at word ends.
std::string describedLine(const std::string& synopsis, const std::string& help) {
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

bool isFlag(const CLI::Option& option) {
    return option.get_expected_max() == 0;
}

// "-V, --version", "--chips N".
std::string optionSynopsis(const CLI::Option& option) {
    std::string names;
    for (const std::string& name : option.get_snames())
        names += (names.empty() ? "-" : ", -") + name;
    for (const std::string& name : option.get_lnames())
        names += (names.empty() ? "--" : ", --") + name;
    return isFlag(option) ? names : names + " " + option.get_type_name();
}

// The options the help shows: not the positional words, not those declared for parsing only.
std::vector<const CLI::Option*> shownOptions(const CLI::App& app) {
    return app.get_options([](const CLI::Option* option) {
        return !option->get_positional() && !option->get_group().empty();
    });
}

std::string optionList(const CLI::App& app) {
    std::string text;
    for (const CLI::Option* option : shownOptions(app))
        text += describedLine(optionSynopsis(*option), option->get_description());
    return text;
}

// "watch [--interval MS] [--count N] [--csv FILE|-] [--force]".
std::string commandSynopsis(const CLI::App& command) {
    std::string text = command.get_name();
    for (const CLI::Option* option : shownOptions(command))
        if (option != command.get_help_ptr()) text += " [" + optionSynopsis(*option) + "]";
    for (const CLI::Option* option :
         command.get_options([](const CLI::Option* option) { return option->get_positional(); }))
        if (!option->get_type_name().empty()) text += " " + option->get_type_name();
    return text;
}

std::string generalHelp(const CLI::App& program) {
    std::string text = "Usage: " + program.get_name() + " [OPTION]... COMMAND [ARGUMENT]...\n" +
                       program.get_description() + "\n\nCommands:\n";
    // One line each: the command list is read by the completion and checked against the manual.
    for (const CLI::App* command : program.get_subcommands([](const CLI::App*) { return true; })) {
        std::string name = command->get_name();
        name.resize(std::max(name.size() + 2, kHelpColumn - 2), ' ');
        text += "  " + name + command->get_description() + "\n";
    }
    return text + "\nOptions (before or after the command; --name=value works as --name value):\n" +
           optionList(program) + "\n" + program.get_footer();
}

std::string commandHelp(const CLI::App& command) {
    std::string text = "Usage: " + command.get_parent()->get_name() + " [OPTION]... " +
                       commandSynopsis(command) + "\n" + command.get_description() + "\n";
    if (const std::string options = optionList(command); !options.empty())
        text += "\nOptions:\n" + options;
    if (const std::string details = command.get_footer(); !details.empty())
        text += "\n" + details + "\n";
    return text;
}

class HelpFormatter : public CLI::FormatterBase {
public:
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
        return app->get_parent() ? commandHelp(*app) : generalHelp(*app);
    }
};

}  // namespace

std::shared_ptr<CLI::FormatterBase> makeHelpFormatter() {
    return std::make_shared<HelpFormatter>();
}

}  // namespace qe::cli
