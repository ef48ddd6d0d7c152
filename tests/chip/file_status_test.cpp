// The messages of failed file operations and the system errors behind them.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "file_status.h"

namespace qe::chip {
namespace {

TEST(FileMessages, MessagesNameTheFault) {
    const struct {
        FileStatus status;
        std::string text;
    } cases[] = {
        {{FileFault::None}, ""},
        {{FileFault::ReadBeyondEnd}, "Read beyond end of file"},
        {{FileFault::NotFound}, "File not found"},
        {{FileFault::AccessDenied}, "File access denied"},
        {{FileFault::DiskFull}, "Disk full"},
        {{FileFault::Other, 21}, "I/O error 21"},
    };
    for (const auto& c : cases) EXPECT_EQ(fileStatusText(c.status), c.text);
}

TEST(FileMessages, SystemErrorsMapToTheirFaults) {
    const struct {
        int error;
        FileStatus status;
    } cases[] = {
        {ENOENT, {FileFault::NotFound}},    {EACCES, {FileFault::AccessDenied}},
        {EPERM, {FileFault::AccessDenied}}, {EROFS, {FileFault::AccessDenied}},
        {ENOSPC, {FileFault::DiskFull}},    {EISDIR, {FileFault::Other, EISDIR}},
        {EIO, {FileFault::Other, EIO}},
    };
    for (const auto& c : cases) EXPECT_EQ(fileStatusForError(c.error), c.status) << c.error;
}

}  // namespace
}  // namespace qe::chip
