#pragma once

#include <cstdint>

#include "environment.h"
#include "readout.h"
#include "register_image.h"

namespace qe::cli {

// The commands that follow the live readout (watch, magnet-check) read it at the window's
// poll period by default.
inline constexpr std::int64_t kReadoutPeriodNs = 50'000'000;
// A reading without a reply is a gap; this many in a row end the command.
inline constexpr int kMaxGapsInARow = 100;

// Waits until `deadlineNs` on the environment's clock, in steps short enough for Ctrl-C.
void waitUntil(Environment& environment, std::int64_t deadlineNs);

}  // namespace qe::cli
