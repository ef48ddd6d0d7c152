#include "readout_loop.h"

#include <algorithm>
#include <chrono>

#include "chip.h"

namespace qe::chip {

namespace {
// A stop is looked at this often while a read is waited for.
constexpr std::int64_t kStopLookNs = 20'000'000;
}  // namespace

std::optional<ReadoutSample> ReadoutLoop::read(std::optional<long long> stillWanted) {
    const bool replied =
        captureInFlight_ > 0 ? readCaptured(stillWanted) : chip_.readOutputs().ok();
    if (!replied) return std::nullopt;
    const std::int64_t requestNs = chip_.outputsRequestedNs();
    return makeReadoutSample(chip_.image(), chip_.derived(), requestNs, wallTimeOf(requestNs));
}

bool ReadoutLoop::readCaptured(std::optional<long long> stillWanted) {
    AdapterLink& link = chip_.link_;
    while (link.outputsInFlight() < captureInFlight_ &&
           (!stillWanted || static_cast<long long>(link.outputsInFlight()) < *stillWanted))
        if (!link.sendOutputsRequest(chip_.chipAddress())) break;
    return link.takeOutputsReply();
}

WallTime ReadoutLoop::wallTimeOf(std::int64_t steadyNs) const {
    // Now, less the time that has passed since on the steady clock.
    const auto since = std::chrono::nanoseconds(chip_.clock().nowNs() - steadyNs);
    return std::chrono::system_clock::now() -
           std::chrono::duration_cast<std::chrono::system_clock::duration>(since);
}

std::optional<ReadoutSample> ReadoutLoop::step() {
    std::optional<ReadoutSample> sample = read();
    if (stream_.empty()) return sample;  // nobody listens: nothing to hand on
    if (sample)
        stream_.publish(*sample);
    else
        stream_.publishFailure(chip_.outputsRequestedNs());
    return sample;
}

bool ReadoutLoop::waitUntil(std::int64_t deadlineNs, const StopCheck& stop) {
    Clock& clock = chip_.clock();
    for (std::int64_t now = clock.nowNs(); now < deadlineNs; now = clock.nowNs()) {
        if (stop && stop()) return false;
        clock.sleepNs(std::min(deadlineNs - now, kStopLookNs));
    }
    return !(stop && stop());
}

PacedReadout ReadoutLoop::next(ReadoutPace& pace, const StopCheck& stop) {
    Clock& clock = chip_.clock();
    if (!pace.started) {
        pace.started = true;
        pace.nextNs = clock.nowNs();
    }
    for (;;) {
        if (pace.count && pace.readouts >= *pace.count) return {std::nullopt, ReadoutEnd::Counted};
        if (!waitUntil(pace.nextNs, stop)) return {std::nullopt, ReadoutEnd::Stopped};
        pace.nextNs = std::max(pace.nextNs + pace.intervalNs, clock.nowNs());
        const std::optional<long long> stillWanted =
            pace.count ? std::optional(*pace.count - pace.readouts) : std::nullopt;
        if (std::optional<ReadoutSample> sample = read(stillWanted)) {
            pace.gapsInARow = 0;
            ++pace.readouts;
            stream_.publish(*sample);
            return {std::move(sample), ReadoutEnd::Counted};
        }
        ++pace.gaps;
        if (!chip_.checkConnection()) {
            adapterLost();
            return {std::nullopt, ReadoutEnd::AdapterLost};
        }
        if (++pace.gapsInARow >= kMaxGapsInARow) return {std::nullopt, ReadoutEnd::ChipSilent};
        stream_.publishFailure(chip_.outputsRequestedNs());
    }
}

ReadoutEnd ReadoutLoop::run(ReadoutPace& pace, const StopCheck& stop) {
    for (;;) {
        const PacedReadout got = next(pace, stop);
        if (!got.sample) return got.end;
    }
}

}  // namespace qe::chip
