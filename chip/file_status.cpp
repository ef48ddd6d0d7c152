#include "file_status.h"

#include <cerrno>

#include "messages.h"

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
            return messages::kReadBeyondEnd;
        case FileFault::NotFound:
            return messages::kFileNotFound;
        case FileFault::AccessDenied:
            return messages::kFileAccessDenied;
        case FileFault::DiskFull:
            return messages::kDiskFull;
        case FileFault::Other:
            break;
    }
    return messages::kIoErrorPrefix + std::to_string(status.errorNumber);
}

}  // namespace qe::chip
