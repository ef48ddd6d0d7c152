#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace qe {

// What a file looked like on disk: a change of any field means its contents may differ.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of whatever the path names (links followed), without opening it; nothing when
// it does not exist or cannot be looked at.
std::optional<FileStamp> fileStampOf(const std::filesystem::path& path);

// A file opened only when it is a regular one. Opening never blocks: a FIFO with no writer,
// a device or a socket is refused (EACCES), a folder too (EISDIR), before anything is read.
class RegularFile {
public:
    enum class Access { Read, ReadWrite };

    RegularFile(const std::filesystem::path& path, Access access);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // 0 when open, else the system's error number.
    int error() const { return error_; }
    // The path names something other than a regular file (error() is EACCES or EISDIR).
    bool notRegular() const { return notRegular_; }
    const FileStamp& stamp() const { return stamp_; }

    // Reads up to `limit` bytes from the current position; fewer only at the end of the file.
    // Takes the memory the file's size at opening asks for, more only if it grew since.
    // Nothing on a read error, whose number error() then gives.
    std::vector<std::uint8_t> read(std::size_t limit);

private:
    int descriptor_ = -1;
    int error_ = 0;
    bool notRegular_ = false;
    FileStamp stamp_;
};

// Replaces the file's contents as one step: the bytes go to a new file in the same folder,
// reach the disk, and that file is renamed over the old one, so a crash or a full disk
// leaves either the old or the new contents, never a part. A link is followed to its file;
// an existing file keeps its permissions. An existing file that is not a regular one, or
// that may not be written, is refused (EACCES) and left alone. 0, or the system's error
// number.
int replaceFileContents(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace qe
