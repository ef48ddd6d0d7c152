#include "configuration_reader.h"

#include <vector>

#include "configuration_file.h"
#include "file_status.h"

namespace qe::cli {

ConfigurationFileContent readConfigurationFile(const std::string& path) {
    ConfigurationFileContent content;
    const auto refused = [&](chip::FileStatus status) {
        content.error = path + ": " + chip::fileStatusText(status);
        return content;
    };
    std::vector<std::uint8_t> bytes;
    if (const chip::FileStatus read = chip::readConfigurationBytes(path, bytes); !read)
        return refused(read);

    RegisterImage image{};
    const chip::DecodedConfiguration decoded = chip::decodeConfiguration(bytes, image);
    if (decoded.readBeyondEnd) return refused(chip::FileStatus{chip::FileFault::ReadBeyondEnd});
    for (std::size_t i = 0; i < decoded.wordsTaken && i < content.words.size(); ++i)
        content.words[i] = image[kFirstWorkingWord + i];
    return content;
}

}  // namespace qe::cli
