#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "clock.h"

namespace qe {

// Busy-wait with microsecond resolution, corrected by the measured cost of reading the
// counter. Used between looks at a running poll tick.
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

// "major.minor.release.build" of this program, compiled in from the build.
std::string FileVersionString();
// A dotted version as four decimal fields without leading zeros; missing fields are 0.
std::string FourFieldVersion(std::string_view dotted);

// The desktop's screen saver. On Linux this is the freedesktop ScreenSaver service on the
// session bus; where there is none, nothing is running and nothing can be woken.
class ScreenSaver {
public:
    virtual ~ScreenSaver() = default;
    virtual bool isRunning() = 0;  // false when the question cannot be asked
    virtual void wakeUp() = 0;     // ends a running screen saver as a key press would
};

class DesktopScreenSaver final : public ScreenSaver {
public:
    bool isRunning() override;
    void wakeUp() override;
};

}  // namespace qe
