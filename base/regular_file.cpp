#include "regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

namespace qe {

namespace {

FileStamp stampOf(const struct stat& info) {
#ifdef __APPLE__
    const timespec& modified = info.st_mtimespec;
#else
    const timespec& modified = info.st_mtim;
#endif
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(modified.tv_sec) * 1'000'000'000 + modified.tv_nsec};
}

// Refusal of something that is not a regular file, by what it is.
int notRegularError(const struct stat& info) {
    return S_ISDIR(info.st_mode) ? EISDIR : EACCES;
}

// Owns a descriptor; closing reports nothing, for paths that already failed.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes and tells whether the close went well; the last buffered error shows here.
    int closeChecked() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

int writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;  // nothing taken and no reason given: the medium is full
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// A new, empty file beside `target` that nobody else uses, created with the permissions a
// newly created file gets (the process's umask applies).
int createSibling(const std::filesystem::path& target, std::filesystem::path& created,
                  Descriptor& descriptor) {
    static std::atomic<unsigned> sequence{0};
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "." + target.filename().string() + ".tmp" +
                                 std::to_string(::getpid()) + "-" +
                                 std::to_string(sequence.fetch_add(1));
        created = folder / name;
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            descriptor.reset(fd);
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

// Makes the rename itself last; a folder that cannot be synced is no reason to fail.
void syncFolderOf(const std::filesystem::path& file) {
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace

std::optional<FileStamp> fileStampOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return stampOf(info);
}

RegularFile::RegularFile(const std::filesystem::path& path, Access access) {
    // Without O_NONBLOCK opening a FIFO for reading waits for a writer, possibly for ever.
    const int mode = access == Access::Read ? O_RDONLY : O_RDWR;
    descriptor_ = ::open(path.c_str(), mode | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor_ < 0) {
        error_ = errno;
        return;
    }
    struct stat info {};
    if (::fstat(descriptor_, &info) != 0)
        error_ = errno;
    else if (!S_ISREG(info.st_mode)) {
        error_ = notRegularError(info);
        notRegular_ = true;
    }
    if (error_ != 0) {
        ::close(descriptor_);
        descriptor_ = -1;
        return;
    }
    stamp_ = stampOf(info);
    ::fcntl(descriptor_, F_SETFL, ::fcntl(descriptor_, F_GETFL) & ~O_NONBLOCK);
}

RegularFile::~RegularFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

std::vector<std::uint8_t> RegularFile::read(std::size_t limit) {
    std::vector<std::uint8_t> bytes;
    if (descriptor_ < 0) return bytes;
    // Room for what the file held when opened (one byte more shows the end without a second
    // pass); only a file that grew since needs more, and never beyond the limit.
    const std::size_t expected =
        stamp_.size < limit ? static_cast<std::size_t>(stamp_.size) + 1 : limit;
    bytes.resize(expected);
    std::size_t got = 0;
    while (got < limit) {
        if (got == bytes.size()) bytes.resize(std::min(limit, std::max(got * 2, got + 4096)));
        const ssize_t n = ::read(descriptor_, bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return {};
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

int replaceFileContents(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    // Through a link to the file it names: the rename would otherwise replace the link.
    std::filesystem::path target = path;
    std::error_code linkError;
    if (std::filesystem::is_symlink(path, linkError)) {
        const std::filesystem::path resolved = std::filesystem::canonical(path, linkError);
        if (!linkError) target = resolved;
    }

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists) {
        if (!S_ISREG(existing.st_mode)) return notRegularError(existing);
        // The folder's permission would let the rename replace a read-only file.
        if (::access(target.c_str(), W_OK) != 0) return errno;
    }

    std::filesystem::path temporary;
    Descriptor file;
    if (const int error = createSibling(target, temporary, file)) return error;
    const auto fail = [&](int error) {
        ::unlink(temporary.c_str());
        return error;
    };
    if (exists && ::fchmod(file.get(), existing.st_mode & 07777) != 0) return fail(errno);
    if (const int error = writeAll(file.get(), bytes)) return fail(error);
    if (::fsync(file.get()) != 0) return fail(errno);
    if (const int error = file.closeChecked()) return fail(error);
    if (::rename(temporary.c_str(), target.c_str()) != 0) return fail(errno);
    syncFolderOf(target);
    return 0;
}

}  // namespace qe
