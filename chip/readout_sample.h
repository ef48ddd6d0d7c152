#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "readout.h"
#include "register_image.h"
#include "register_map.h"

namespace qe::chip {

using WallTime = std::chrono::system_clock::time_point;

// One successful read of the output registers: when its request left for the chip (the chip
// samples then; on the link's steady clock for intervals, and as wall-clock time for time
// stamps), the four words as read and what the readout makes of them.
struct ReadoutSample {
    std::int64_t requestNs = 0;
    WallTime wallTime{};
    std::array<std::uint16_t, kOutputWordCount> outputWords{};
    int resolutionCounts = 0;  // for the "counts /range" text
    Readout readout;
};

// Takes the output words and the derived values from what the program holds right after a
// read of the output registers.
ReadoutSample makeReadoutSample(const RegisterImage& image, const DerivedValues& derived,
                                std::int64_t requestNs, WallTime wallTime);

// The raw output fields of a sample.
inline std::uint16_t sampleField(const ReadoutSample& sample, Field field) {
    return fieldValue(sample.outputWords[field.word - kFirstOutputWord], field);
}

// Whoever wants every readout the readout loop makes (plot, recording, magnet check, the
// command line's logs). Called on the thread that reads, right after the read; must stay
// cheap.
class ReadoutObserver {
public:
    virtual ~ReadoutObserver() = default;
    virtual void readoutArrived(const ReadoutSample& sample) = 0;
    // A read of the output registers that got no reply, asked at requestNs: a gap in the
    // stream.
    virtual void readoutFailed(std::int64_t /*requestNs*/) {}
    // The adapter stopped answering; no readouts come until it is back.
    virtual void adapterLost() {}
};

}  // namespace qe::chip
