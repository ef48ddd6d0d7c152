#include "configuration_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace qe::chip {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return File(::_wfopen(path.c_str(), wideMode.c_str()));
#else
    return File(std::fopen(path.c_str(), mode));
#endif
}

}  // namespace

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

FileStatus saveConfigurationFile(const std::filesystem::path& path, const RegisterImage& image) {
    errno = 0;
    File file = openFile(path, "wb");
    if (!file) return fileStatusForError(errno);
    const ConfigurationBytes bytes = encodeConfiguration(image);
    // A full medium may only show when the buffer is flushed.
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fflush(file.get()) != 0)
        return errno != 0 ? fileStatusForError(errno) : FileStatus{FileFault::DiskFull};
    if (std::fclose(file.release()) != 0) return fileStatusForError(errno);
    return {};
}

FileStatus loadConfigurationFile(const std::filesystem::path& path, RegisterImage& image) {
    errno = 0;
    File file = openFile(path, "r+b");
    if (!file) return fileStatusForError(errno);
    ConfigurationBytes bytes{};
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    const bool readFailed = std::ferror(file.get()) != 0;
    const int readError = errno;
    const DecodedConfiguration decoded = decodeConfiguration(std::span(bytes.data(), got), image);
    if (readFailed) return fileStatusForError(readError);
    if (decoded.readBeyondEnd) return {FileFault::ReadBeyondEnd};
    return {};
}

}  // namespace qe::chip
