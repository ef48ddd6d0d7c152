#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "adapter_link.h"

namespace qe::chip {

class Chip;

// The fastest pace a reader may ask a capture for, in readouts a second ("max" has none).
inline constexpr double kMaxCaptureRateHz = 100'000;

// How a capture reads; each may be lowered when the adapter cannot take it (see notes()).
struct CaptureOptions {
    // The adapter's latency timer while the capture runs: 2 ms, or 1 ms on request.
    std::uint8_t latencyMs = AdapterLink::kCaptureLatencyMs;
    // Output requests kept on the line, 1 to AdapterLink::kMaxFramesInFlight.
    std::size_t inFlight = 1;
};

// Reading at the speed of the link. While a capture lives, the adapter's latency timer is
// low, so that a short reply does not wait 16 ms, and the chip's readout loop keeps up to
// inFlight() output requests on the line, taking each reply in order as the answer to the
// oldest; readouts are read, paced and published as always (ReadoutLoop::run/next). More
// than one in flight is used only when a probe shows the adapter's firmware takes frames
// back to back. The designed 16 ms is put back when it ends: by finish() or, after an error,
// a stop or an unplug, by the destructor (nothing to put back on an adapter that is gone;
// one opened since got the designed timer anyway).
class CaptureSession {
public:
    CaptureSession(Chip& chip, const CaptureOptions& options);
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // What the capture runs with.
    std::uint8_t latencyMs() const { return latencyMs_; }
    std::size_t inFlight() const { return inFlight_; }
    // Where it runs with less than asked, or could not put the designed timer back: one line
    // each, for the user.
    const std::vector<std::string>& notes() const { return notes_; }

    // Gives up the requests in flight, so that an exchange of another kind finds the line
    // clean; the capture reads on with its next readout.
    void settle();

    // Ends the capture: requests in flight given up, the designed latency timer back. False
    // when the adapter refused the designed timer (a note says so). Once only.
    bool finish();

private:
    // The latency timer asked for, else 2 ms, else the designed one; its note.
    void lowerLatency(std::uint8_t asked);
    void probeInFlight(std::size_t asked);

    Chip& chip_;
    std::uint8_t latencyMs_ = AdapterLink::kLatencyTimerMs;
    std::size_t inFlight_ = 1;
    std::vector<std::string> notes_;
    bool finished_ = false;
};

}  // namespace qe::chip
