#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "readout.h"
#include "register_image.h"
#include "register_map.h"

namespace qe::chip {

using WallTime = std::chrono::system_clock::time_point;

// One successful read of the output registers, as it arrived: when (the link's steady clock
// for intervals, the wall clock for time stamps), the four words as read and what the
// readout makes of them.
struct ReadoutSample {
    std::int64_t steadyNs = 0;
    WallTime wallTime{};
    std::array<std::uint16_t, kOutputWordCount> outputWords{};
    int resolutionCounts = 0;  // for the "counts /range" text
    Readout readout;
};

// Takes the output words and the derived values from what the program holds right after a
// read of the output registers.
ReadoutSample makeReadoutSample(const RegisterImage& image, const DerivedValues& derived,
                                std::int64_t steadyNs, WallTime wallTime);

// The raw output fields of a sample.
inline std::uint16_t sampleField(const ReadoutSample& sample, Field field) {
    return fieldValue(sample.outputWords[field.word - kFirstOutputWord], field);
}

// Whoever wants every readout the poll cycle makes (plot, recording, magnet check). Called
// on the thread that reads, right after the readout is shown; must stay cheap.
class ReadoutObserver {
public:
    virtual ~ReadoutObserver() = default;
    virtual void readoutArrived(const ReadoutSample& sample) = 0;
    // A read of the output registers that got no reply: a gap in the stream.
    virtual void readoutFailed(std::int64_t /*steadyNs*/) {}
    // The adapter stopped answering; no readouts come until it is back.
    virtual void adapterLost() {}
};

}  // namespace qe::chip
