#pragma once

#include <cstddef>
#include <cstdint>

#include "readout_sample.h"
#include "ring_buffer.h"

namespace qe::ui {

// What the plot keeps of one readout.
struct PlotPoint {
    double timeMs = 0.0;       // wall-clock milliseconds since the epoch, on the steady clock
    double turnsCounts = 0.0;  // absolute position with whole turns accumulated
    float rpm = 0.0f;
    float agcPercent = 0.0f;
    std::uint16_t absolute = 0;  // absolute position as read, 0..4095
    std::uint8_t magnetStatus = 0;
    bool afterGap = false;        // readouts are missing right before this one
    bool turnsUncertain = false;  // a gap came before: whole turns may have been missed
};

// The readouts of the last ten minutes and more, for the plot. The time of every point is
// the first readout's wall-clock time moved on by the steady clock, so the time axis never
// jumps when the system clock is set.
class PlotHistory {
public:
    // Ten minutes at the fastest poll cycle (20 readouts a second) fit with room to spare.
    static constexpr std::size_t kCapacity = 16384;

    PlotHistory() : points_(kCapacity) {}

    // A readout longer than this after the one before it had others missing between them.
    static constexpr double kLongestStepMs = 1000.0;

    void add(const chip::ReadoutSample& sample);
    // A read that got no reply, or the adapter gone: the next readout comes after a gap.
    void markGap() { gapPending_ = true; }
    void clear();

    const RingBuffer<PlotPoint>& points() const { return points_; }
    // Index of the first point at or after `timeMs`; size() when there is none.
    std::size_t firstAtOrAfter(double timeMs) const;
    // The point nearest to `timeMs`, or null when there is none.
    const PlotPoint* nearest(double timeMs) const;

private:
    RingBuffer<PlotPoint> points_;
    double originMs_ = 0.0;
    std::int64_t originNs_ = 0;
    bool gapPending_ = false;
};

}  // namespace qe::ui
