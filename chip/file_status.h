#pragma once

#include <string>

namespace qe::chip {

// How a file operation ended, in the terms its message uses.
enum class FileFault { None, ReadBeyondEnd, NotFound, AccessDenied, DiskFull, Other };

struct FileStatus {
    FileFault fault = FileFault::None;
    int errorNumber = 0;  // the system's error number, for Other

    explicit operator bool() const { return fault == FileFault::None; }
    bool operator==(const FileStatus&) const = default;
};

// What a system error number (errno) means for the user.
FileStatus fileStatusForError(int errorNumber);

// The message for a failed file operation ("File access denied", "I/O error 21", ...).
std::string fileStatusText(const FileStatus& status);

}  // namespace qe::chip
