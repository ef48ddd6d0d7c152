#pragma once

#include <memory>

namespace qe {

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
