#pragma once

#include <cstdint>

#include "clock.h"

namespace qe {

// Busy-wait with microsecond resolution, corrected by the measured cost of reading the
// counter. The tool itself no longer pauses with it: a poll tick runs to its end on the
// window thread, so a user action never has one to wait for.
class MicrosecondDelay {
public:
    explicit MicrosecondDelay(Clock& clock) : clock_(clock) {}

    // Measures the counter's overhead (with the process priority raised where allowed,
    // always restored afterwards).
    void CalibrateDelay();
    // Returns when the time has passed; spins without yielding.
    void DelayMicroseconds(double microseconds);

    std::int32_t DelayOverheadTicks = 0;  // in counter ticks (ns); 0 until calibrated

private:
    Clock& clock_;
};

}  // namespace qe
