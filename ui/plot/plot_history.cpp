#include "plot_history.h"

#include <chrono>
#include <cmath>

namespace qe::ui {

namespace {

constexpr double kNsPerMs = 1e6;

}  // namespace

void PlotHistory::add(const chip::ReadoutSample& sample) {
    PlotPoint point;
    if (points_.empty()) {
        originNs_ = sample.requestNs;
        originMs_ = static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            sample.wallTime.time_since_epoch())
                                            .count());
        point.turnsCounts = sample.readout.absolute;
    }
    point.timeMs = originMs_ + static_cast<double>(sample.requestNs - originNs_) / kNsPerMs;
    if (!points_.empty()) {
        const PlotPoint& last = points_.newest();
        point.turnsCounts =
            last.turnsCounts + chip::wrappedStep(last.absolute, sample.readout.absolute);
        point.afterGap = gapPending_ || point.timeMs - last.timeMs > kLongestStepMs;
        point.turnsUncertain = last.turnsUncertain || point.afterGap;
    }
    gapPending_ = false;
    point.absolute = static_cast<std::uint16_t>(sample.readout.absolute);
    point.rpm = static_cast<float>(sample.readout.rpm);
    point.agcPercent = static_cast<float>(sample.readout.agcPercent);
    point.magnetStatus = static_cast<std::uint8_t>(sample.readout.magnetStatus);
    points_.push(point);
}

void PlotHistory::clear() {
    points_.clear();
    gapPending_ = false;
}

std::size_t PlotHistory::firstAtOrAfter(double timeMs) const {
    return points_.lowerBound(timeMs, [](const PlotPoint& p, double t) { return p.timeMs < t; });
}

const PlotPoint* PlotHistory::nearest(double timeMs) const {
    if (points_.empty()) return nullptr;
    const std::size_t after = firstAtOrAfter(timeMs);
    if (after == points_.size()) return &points_.newest();
    if (after == 0) return &points_[0];
    const PlotPoint& later = points_[after];
    const PlotPoint& earlier = points_[after - 1];
    return (later.timeMs - timeMs) < (timeMs - earlier.timeMs) ? &later : &earlier;
}

}  // namespace qe::ui
