#include "recording_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace qe {

namespace {

std::string systemErrorText(int error) {
    return std::generic_category().message(error);
}

}  // namespace

std::unique_ptr<RecordingFile> RecordingFile::create(const std::string& path, std::string& error,
                                                     ReaderWait wait) {
    // Without waiting, a FIFO that nobody reads yet is an error ("No such device or address").
    const int noWait = wait == ReaderWait::No ? O_NONBLOCK : 0;
    const int descriptor =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | noWait, 0666);
    if (descriptor < 0) {
        error = systemErrorText(errno);
        return nullptr;
    }
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(descriptor, "wb");
    if (!file) {
        error = systemErrorText(errno);
        ::close(descriptor);
        return nullptr;
    }
    // The writer keeps its own buffer and hands over whole lines; a second buffer here would
    // only hide a full disk until later.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::unique_ptr<RecordingFile>(new RecordingFile(file, path));
}

RecordingFile::RecordingFile(std::FILE* file, std::string path)
    : file_(file), path_(std::move(path)) {}

RecordingFile::~RecordingFile() {
    close();
}

bool RecordingFile::write(std::string_view bytes) {
    if (!file_) return fail(EBADF);
    errno = 0;
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_);
    if (written != bytes.size() || std::fflush(file_) != 0) return fail(errno != 0 ? errno : EIO);
    return true;
}

bool RecordingFile::truncate(std::uint64_t size) {
    if (file_) std::fflush(file_);
    std::error_code ec;
    std::filesystem::resize_file(path_, size, ec);
    if (ec) {
        error_ = ec.message();
        return false;
    }
    return true;
}

bool RecordingFile::close() {
    if (!file_) return true;
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed || fail(errno != 0 ? errno : EIO);
}

bool RecordingFile::fail(int error) {
    error_ = systemErrorText(error);
    return false;
}

}  // namespace qe
