#include "configuration_file.h"

#include <vector>

#include "regular_file.h"

namespace qe::chip {

ConfigurationBytes encodeConfiguration(const RegisterImage& image) {
    ConfigurationBytes bytes{};
    for (std::size_t i = 0; i < kFileWords; ++i) {
        const std::uint16_t word = image[kFirstFileWord + i];
        bytes[2 * i] = static_cast<std::uint8_t>(word & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
    }
    return bytes;
}

DecodedConfiguration decodeConfiguration(std::span<const std::uint8_t> bytes,
                                         RegisterImage& image) {
    DecodedConfiguration result;
    std::size_t at = 0;
    while (result.wordsTaken < kFileWords && at < bytes.size()) {
        if (bytes.size() - at < 2) {
            result.readBeyondEnd = true;
            break;
        }
        image[kFirstFileWord + result.wordsTaken] =
            static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
        ++result.wordsTaken;
        at += 2;
    }
    return result;
}

FileStatus readConfigurationBytes(const std::filesystem::path& path,
                                  std::vector<std::uint8_t>& bytes) {
    RegularFile file(path, RegularFile::Access::Read);
    if (file.error() == 0) bytes = file.read(kConfigurationFileBytes + 1);
    if (file.error() != 0) return fileStatusForError(file.error());
    return {};
}

FileStatus saveConfigurationFile(const std::filesystem::path& path, const RegisterImage& image) {
    // The old file stays whole until the new one is complete on disk.
    const ConfigurationBytes bytes = encodeConfiguration(image);
    if (const int error = replaceFileContents(path, bytes)) return fileStatusForError(error);
    return {};
}

FileStatus loadConfigurationFile(const std::filesystem::path& path, RegisterImage& image,
                                 LoadAccess access) {
    RegularFile file(path, access == LoadAccess::ReadOnly ? RegularFile::Access::Read
                                                          : RegularFile::Access::ReadWrite);
    if (file.error() != 0) return fileStatusForError(file.error());
    const std::vector<std::uint8_t> bytes = file.read(kConfigurationFileBytes);
    if (file.error() != 0) return fileStatusForError(file.error());
    const DecodedConfiguration decoded = decodeConfiguration(bytes, image);
    if (decoded.readBeyondEnd) return {FileFault::ReadBeyondEnd};
    return {};
}

}  // namespace qe::chip
