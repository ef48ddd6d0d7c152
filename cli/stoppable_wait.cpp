#include "stoppable_wait.h"

#include <algorithm>

namespace qe::cli {

namespace {
// Ctrl-C is looked at this often while waiting.
constexpr std::int64_t kStopLookNs = 20'000'000;
}  // namespace

void waitUntil(Environment& environment, std::int64_t deadlineNs) {
    Clock& clock = environment.clock;
    for (std::int64_t now = clock.nowNs(); now < deadlineNs && !environment.stopRequested;
         now = clock.nowNs())
        clock.sleepNs(std::min(deadlineNs - now, kStopLookNs));
}

}  // namespace qe::cli
