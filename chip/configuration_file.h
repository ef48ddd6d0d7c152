#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "file_status.h"
#include "register_image.h"

namespace qe::chip {

// A configuration file (.qcf) holds the working words 48..55, two bytes each, low byte
// first; no header, version or checksum.
inline constexpr std::uint8_t kFirstFileWord = kFirstWorkingWord;
inline constexpr std::size_t kFileWords = kWorkingWordCount;
inline constexpr std::size_t kConfigurationFileBytes = 2 * kFileWords;

using ConfigurationBytes = std::array<std::uint8_t, kConfigurationFileBytes>;

ConfigurationBytes encodeConfiguration(const RegisterImage& image);

struct DecodedConfiguration {
    std::size_t wordsTaken = 0;
    bool readBeyondEnd = false;  // a last word of one byte
};

// Takes words into image[48..] in file order until eight are taken or the bytes run out;
// words past the end keep their values. Bytes past the sixteenth are ignored.
DecodedConfiguration decodeConfiguration(std::span<const std::uint8_t> bytes, RegisterImage& image);

// Writes words 48..55 of the image as the file's whole contents, replacing the old file in
// one step. Anything but a regular file is refused.
FileStatus saveConfigurationFile(const std::filesystem::path& path, const RegisterImage& image);

// How a file to load is opened. The window asks for writing too, as it always has, so a
// file that may not be written is refused there; a script loading a golden file, which is
// often read-only, only needs to read it.
enum class LoadAccess { ReadAndWrite, ReadOnly };

// Reads the file into words 48..55 of the image. Anything but a regular file is refused,
// without waiting on it. On a read beyond the end the words before it are already in the
// image.
FileStatus loadConfigurationFile(const std::filesystem::path& path, RegisterImage& image,
                                 LoadAccess access = LoadAccess::ReadAndWrite);

// The bytes a look at a file needs, without loading it: one more than the format reads, so
// that a longer file shows. Opened for reading only and never waiting; anything but a
// regular file is refused.
FileStatus readConfigurationBytes(const std::filesystem::path& path,
                                  std::vector<std::uint8_t>& bytes);

}  // namespace qe::chip
