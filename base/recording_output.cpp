#include "recording_output.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

namespace qe {

namespace {

// How often a wait for a FIFO's reader looks whether it was asked to stop.
constexpr int kStopLookMs = 20;
// How long, once asked to stop, a row already part written may wait for the reader.
constexpr std::int64_t kRowGraceMs = 300;

std::string systemErrorText(int error) {
    return std::generic_category().message(error);
}

std::int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool isFifo(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// Opens without ever blocking: a FIFO with no reader yet fails with ENXIO. With `stop`, such
// a FIFO is tried again until a reader comes, or fails with EINTR once `stop` is set.
int openForWriting(const std::string& path, const std::atomic<bool>* stop) {
    for (;;) {
        const int descriptor =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
        if (descriptor >= 0 || errno != ENXIO || !stop || !isFifo(path)) return descriptor;
        if (stop->load()) {
            errno = EINTR;
            return -1;
        }
        ::poll(nullptr, 0, kStopLookMs);
    }
}

}  // namespace

std::unique_ptr<RecordingFile> RecordingFile::create(const std::string& path, std::string& error,
                                                     const std::atomic<bool>* stop) {
    const int descriptor = openForWriting(path, stop);
    if (descriptor < 0) {
        error = errno == EINTR && stop && stop->load() ? kStoppedText : systemErrorText(errno);
        return nullptr;
    }
    // Without a stop to look at, a full FIFO is waited on inside write().
    if (!stop) ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return std::unique_ptr<RecordingFile>(new RecordingFile(descriptor, path, stop));
}

RecordingFile::RecordingFile(int descriptor, std::string path, const std::atomic<bool>* stop)
    : descriptor_(descriptor), path_(std::move(path)), stop_(stop) {}

RecordingFile::~RecordingFile() {
    close();
}

// Bytes go straight to the system: the writer keeps its own buffer and hands over whole
// lines; a second buffer here would only hide a full disk until later.
bool RecordingFile::write(std::string_view bytes) {
    if (descriptor_ < 0) return fail(EBADF);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(descriptor_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) return fail(EIO);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return fail(errno);
        if (!waitUntilWritable(done)) {
            error_ = kStoppedText;
            return false;
        }
    }
    return true;
}

bool RecordingFile::waitUntilWritable(std::size_t writtenOfThisCall) {
    pollfd ready{descriptor_, POLLOUT, 0};
    for (;;) {
        if (stop_ && stop_->load()) {
            // Nothing of these rows went out yet: the output still ends on a whole row.
            if (writtenOfThisCall == 0) return false;
            if (stopSeenMs_ < 0) stopSeenMs_ = steadyMs();
            if (steadyMs() - stopSeenMs_ >= kRowGraceMs) return false;
        }
        const int n = ::poll(&ready, 1, stop_ ? kStopLookMs : -1);
        // Writable, or an error that the next write tells.
        if (n > 0 || (n < 0 && errno != EINTR)) return true;
    }
}

bool RecordingFile::truncate(std::uint64_t size) {
    std::error_code ec;
    std::filesystem::resize_file(path_, size, ec);
    if (ec) {
        error_ = ec.message();
        return false;
    }
    return true;
}

bool RecordingFile::close() {
    if (descriptor_ < 0) return true;
    const int descriptor = std::exchange(descriptor_, -1);
    return ::close(descriptor) == 0 || fail(errno);
}

bool RecordingFile::fail(int error) {
    error_ = systemErrorText(error);
    return false;
}

}  // namespace qe
