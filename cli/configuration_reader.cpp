#include "configuration_reader.h"

#include <filesystem>
#include <vector>

#include "configuration_file.h"
#include "file_status.h"

namespace qe::cli {

namespace {

// Only the first bytes are read; the whole length comes from the file system when longer.
std::size_t lengthOf(const std::string& path, std::size_t bytesRead) {
    if (bytesRead <= chip::kConfigurationFileBytes) return bytesRead;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? bytesRead : static_cast<std::size_t>(size);
}

}  // namespace

ConfigurationFileContent readConfigurationFile(const std::string& path) {
    ConfigurationFileContent content;
    std::vector<std::uint8_t> bytes;
    if (const chip::FileStatus read = chip::readConfigurationBytes(path, bytes); !read) {
        content.error = path + ": " + chip::fileStatusText(read);
        return content;
    }
    if (bytes.size() != chip::kConfigurationFileBytes) {
        content.error = path + ": " + std::to_string(lengthOf(path, bytes.size())) +
                        " bytes, not " + std::to_string(chip::kConfigurationFileBytes) +
                        " bytes: a .qcf file holds exactly the eight words 48..55";
        return content;
    }
    RegisterImage image{};
    (void)chip::decodeConfiguration(bytes, image);
    for (std::size_t i = 0; i < content.words.size(); ++i)
        content.words[i] = image[kFirstWorkingWord + i];
    content.bytes = std::move(bytes);
    return content;
}

}  // namespace qe::cli
