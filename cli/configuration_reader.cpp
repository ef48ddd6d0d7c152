#include "configuration_reader.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "configuration_file.h"
#include "file_status.h"

namespace qe::cli {

ConfigurationFileContent readConfigurationFile(const std::string& path) {
    ConfigurationFileContent content;
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        content.error = path + ": " + chip::fileStatusText(chip::fileStatusForError(errno));
        return content;
    }
    // The format reads no further than its sixteen bytes; one more tells an odd length.
    std::vector<std::uint8_t> bytes(chip::kConfigurationFileBytes + 1);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    const int readError = std::ferror(file) ? (errno != 0 ? errno : EIO) : 0;
    std::fclose(file);
    if (readError != 0) {
        content.error = path + ": " + chip::fileStatusText(chip::fileStatusForError(readError));
        return content;
    }

    RegisterImage image{};
    const chip::DecodedConfiguration decoded = chip::decodeConfiguration(bytes, image);
    if (decoded.readBeyondEnd) {
        content.error =
            path + ": " + chip::fileStatusText(chip::FileStatus{chip::FileFault::ReadBeyondEnd});
        return content;
    }
    for (std::size_t i = 0; i < decoded.wordsTaken && i < content.words.size(); ++i)
        content.words[i] = image[kFirstWorkingWord + i];
    return content;
}

}  // namespace qe::cli
