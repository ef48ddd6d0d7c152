#pragma once

#include <istream>
#include <string>
#include <vector>

#include "magnet_check.h"

namespace qe::chip {

// The readouts of a recording the tool wrote (ReadoutCsvWriter), as the magnet check takes
// them, with the chip and adapter its first line names and the first row's time as the date.
struct MagnetRecording {
    MagnetCheckSource source;
    std::vector<MagnetSample> samples;
    std::string error;  // why the text is no recording; empty when it is one
};

MagnetRecording readMagnetRecording(std::istream& in);
// The same from a file; a FIFO or device is refused rather than waited on.
MagnetRecording readMagnetRecordingFile(const std::string& path);

// The check run over a recording's readouts, as the live check runs over the readouts that
// come: from the first row until the wanted turns are done.
MagnetCheckResult checkRecording(const MagnetRecording& recording, int turns);

}  // namespace qe::chip
