#include "readout_loop.h"

#include <algorithm>
#include <chrono>

#include "chip.h"

namespace qe::chip {

namespace {
// A stop is looked at this often while a read is waited for.
constexpr std::int64_t kStopLookNs = 20'000'000;
}  // namespace

std::optional<ReadoutSample> ReadoutLoop::read(long long readouts) {
    const bool replied = captureInFlight_ > 0 ? readCaptured(readouts) : chip_.readOutputs().ok();
    if (!replied) return std::nullopt;
    const std::int64_t requestNs = chip_.outputsRequestedNs();
    return makeReadoutSample(chip_.image(), chip_.derived(), requestNs, wallTimeOf(requestNs));
}

bool ReadoutLoop::readCaptured(long long readouts) {
    AdapterLink& link = chip_.link_;
    const long long wanted = countLimit_ ? *countLimit_ - readouts : captureInFlight_;
    while (link.outputsInFlight() < captureInFlight_ &&
           static_cast<long long>(link.outputsInFlight()) < wanted)
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
        if (!waitUntil(pace.nextNs, stop)) return {std::nullopt, ReadoutEnd::Stopped};
        pace.nextNs = std::max(pace.nextNs + pace.intervalNs, clock.nowNs());
        if (std::optional<ReadoutSample> sample = read(pace.readouts)) {
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

ReadoutEnd ReadoutLoop::run(ReadoutPace& pace, std::optional<long long> count,
                            const StopCheck& stop) {
    countLimit_ = count;
    ReadoutEnd end = ReadoutEnd::Counted;
    while (!count || pace.readouts < *count) {
        const PacedReadout got = next(pace, stop);
        if (!got.sample) {
            end = got.end;
            break;
        }
    }
    countLimit_.reset();
    return end;
}

}  // namespace qe::chip
