#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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

class ScreenSaverActivity;

// Asking the desktop on every look would make the readout wait for its answer; instead the
// service's announcements are followed and one question is asked at the start.
class DesktopScreenSaver final : public ScreenSaver {
public:
    DesktopScreenSaver();  // subscribes and asks, without waiting for the answer
    ~DesktopScreenSaver() override;
    DesktopScreenSaver(const DesktopScreenSaver&) = delete;
    DesktopScreenSaver& operator=(const DesktopScreenSaver&) = delete;

    bool isRunning() override;  // what the desktop last said; never waits
    void wakeUp() override;

private:
    std::unique_ptr<ScreenSaverActivity> activity_;
};

}  // namespace qe
