#include "file_status.h"

#include <cerrno>

namespace qe::chip {

FileStatus fileStatusForError(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
            return {FileFault::NotFound};
        case EACCES:
        case EPERM:
#ifdef EROFS
        case EROFS:
#endif
            return {FileFault::AccessDenied};
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return {FileFault::DiskFull};
        default:
            return {FileFault::Other, errorNumber};
    }
}

std::string fileStatusText(const FileStatus& status) {
    switch (status.fault) {
        case FileFault::None:
            return {};
        case FileFault::ReadBeyondEnd:
            return "Read beyond end of file";
        case FileFault::NotFound:
            return "File not found";
        case FileFault::AccessDenied:
            return "File access denied";
        case FileFault::DiskFull:
            return "Disk full";
        case FileFault::Other:
            break;
    }
    return "I/O error " + std::to_string(status.errorNumber);
}

}  // namespace qe::chip
