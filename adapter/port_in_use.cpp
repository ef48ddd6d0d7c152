#include "port_in_use.h"

#include <cerrno>
#include <csignal>
#include <fstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qe {

namespace {

// Where Qt Serial Port and the UUCP convention put "LCK..ttyUSB0".
const char* const kLockFolders[] = {"/var/lock", "/run/lock", "/tmp", "/var/tmp"};

bool processAlive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// A lock file names its owner's process id first: as text (Qt, UUCP) or as 4 binary bytes
// (old Kermit); only the text form is read.
bool lockFileOfLiveProcess(const std::string& portName) {
    for (const char* folder : kLockFolders) {
        std::ifstream file(std::filesystem::path(folder) / ("LCK.." + portName));
        long pid = 0;
        if (file && file >> pid && processAlive(pid)) return true;
    }
    return false;
}

}  // namespace

bool portHeldElsewhere(const std::filesystem::path& node) {
    if (lockFileOfLiveProcess(node.filename().string())) return true;
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EBUSY;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

bool holdPortExclusively(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno != EWOULDBLOCK;
    // Refused only where the kernel has no such ioctl for the node; the lock still holds.
    (void)::ioctl(fd, TIOCEXCL);
    return true;
}

}  // namespace qe
