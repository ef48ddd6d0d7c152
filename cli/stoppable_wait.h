#pragma once

#include <cstdint>

#include "environment.h"

namespace qe::cli {

// Waits until `deadlineNs` on the environment's clock, in steps short enough for Ctrl-C.
void waitUntil(Environment& environment, std::int64_t deadlineNs);

}  // namespace qe::cli
