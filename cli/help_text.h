#pragma once

#include <memory>

namespace CLI {
class FormatterBase;
}

namespace qe::cli {

// Writes the help from the declared options and commands: the general help lists each command
// on one line and the options, then the footer (the exit statuses); a command's help gives its
// usage, its summary, its own options and its details.
std::shared_ptr<CLI::FormatterBase> makeHelpFormatter();

}  // namespace qe::cli
