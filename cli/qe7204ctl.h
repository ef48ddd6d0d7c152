#pragma once

#include <string>
#include <vector>

#include "environment.h"

namespace qe::cli {

// Runs qe7204ctl with its arguments (without the program name); returns the exit status.
int runQe7204ctl(const std::vector<std::string>& args, Environment& environment);

}  // namespace qe::cli
