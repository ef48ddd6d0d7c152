#include "readout_sample.h"

#include <algorithm>

namespace qe::chip {

ReadoutSample makeReadoutSample(const RegisterImage& image, const DerivedValues& derived,
                                std::int64_t requestNs, WallTime wallTime) {
    ReadoutSample sample;
    sample.requestNs = requestNs;
    sample.wallTime = wallTime;
    std::copy_n(image.begin() + kFirstOutputWord, kOutputWordCount, sample.outputWords.begin());
    sample.resolutionCounts = derived.ResolutionCounts;
    sample.readout = decodeReadout(image, derived);
    return sample;
}

}  // namespace qe::chip
