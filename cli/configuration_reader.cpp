#include "configuration_reader.h"

#include <vector>

#include "configuration_file.h"
#include "file_status.h"
#include "regular_file.h"

namespace qe::cli {

ConfigurationFileContent readConfigurationFile(const std::string& path) {
    ConfigurationFileContent content;
    const auto refused = [&](chip::FileStatus status) {
        content.error = path + ": " + chip::fileStatusText(status);
        return content;
    };
    // Opening never waits: a FIFO or a device is refused before anything is read.
    RegularFile file(path, RegularFile::Access::Read);
    if (file.error() != 0) return refused(chip::fileStatusForError(file.error()));
    // The format reads no further than its sixteen bytes; one more tells an odd length.
    const std::vector<std::uint8_t> bytes = file.read(chip::kConfigurationFileBytes + 1);
    if (file.error() != 0) return refused(chip::fileStatusForError(file.error()));

    RegisterImage image{};
    const chip::DecodedConfiguration decoded = chip::decodeConfiguration(bytes, image);
    if (decoded.readBeyondEnd) return refused(chip::FileStatus{chip::FileFault::ReadBeyondEnd});
    for (std::size_t i = 0; i < decoded.wordsTaken && i < content.words.size(); ++i)
        content.words[i] = image[kFirstWorkingWord + i];
    return content;
}

}  // namespace qe::cli
