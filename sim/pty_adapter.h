#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "adapter_firmware.h"
#include "chip_bus.h"
#include "clock.h"
#include "transcript.h"
#include "virtual_magnet.h"

namespace qe::sim {

// The adapter's firmware with its chips and magnet, served on a pseudo-terminal: a program
// that opens the terminal (terminalPath) talks to it as to the adapter's serial port, so the
// kernel-serial backend can be run end to end without hardware. A thread of its own answers
// each frame as it arrives, after the firmware's own processing time.
class PtyAdapter {
public:
    struct Options {
        int chips = 1;                      // at bus addresses 0, 1, ...
        double revolutionsPerSecond = 0.0;  // the magnet's turn
    };

    // Throws std::runtime_error when no pseudo-terminal can be had.
    explicit PtyAdapter(const Options& options);
    PtyAdapter() : PtyAdapter(Options{}) {}
    ~PtyAdapter();
    PtyAdapter(const PtyAdapter&) = delete;
    PtyAdapter& operator=(const PtyAdapter&) = delete;

    // "/dev/pts/N"
    const std::string& terminalPath() const { return terminalPath_; }

    // Stops serving and closes the adapter's end: the terminal hangs up, as the port of an
    // unplugged adapter does.
    void unplug();
    bool plugged() const;

    // The frames the firmware decoded so far ("R 0 48", "scan", ...), and forgetting them.
    std::vector<std::string> frames() const;
    void clearFrames();
    bool supplyOn() const;
    std::uint8_t parameters() const;

private:
    void serve();
    // Waits a moment for a program to open the terminal; false when told to stop meanwhile.
    bool awaitTool();
    void answer(const std::uint8_t* bytes, std::size_t count);
    void stop();

    SystemClock clock_;
    mutable std::mutex mutex_;  // the firmware, the bus and the transcript
    Transcript transcript_;
    VirtualMagnet magnet_{clock_};
    ChipBus bus_{magnet_};
    AdapterFirmware firmware_{bus_, transcript_, "pty"};

    int master_ = -1;
    static constexpr int kToolLookMs = 2;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::string terminalPath_;
    std::thread server_;
};

}  // namespace qe::sim
