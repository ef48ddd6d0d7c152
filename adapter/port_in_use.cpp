#include "port_in_use.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>

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

bool sameDevice(const struct stat& a, const struct stat& b) {
    if (S_ISCHR(a.st_mode)) return S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool allDigits(const char* name) {
    if (!*name) return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9') return false;
    return true;
}

// Whether a descriptor of the process leads to the device. A process whose descriptors this
// user may not see is no evidence either way.
bool processHasOpen(const std::string& pid, const struct stat& device) {
    const std::string folder = "/proc/" + pid + "/fd";
    DIR* fds = ::opendir(folder.c_str());
    if (!fds) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(fds)) {
        struct stat target {};
        if (!allDigits(entry->d_name)) continue;
        // Relative to the open folder: the look is made once per descriptor on the machine.
        if (::fstatat(::dirfd(fds), entry->d_name, &target, 0) == 0 && sameDevice(device, target)) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

}  // namespace

bool openByAnotherProcess(const std::filesystem::path& node) {
    struct stat device {};
    if (::stat(node.c_str(), &device) != 0) return false;
    DIR* processes = ::opendir("/proc");
    if (!processes) return false;
    const std::string self = std::to_string(::getpid());
    bool found = false;
    while (const dirent* entry = ::readdir(processes)) {
        if (!allDigits(entry->d_name) || entry->d_name == self) continue;
        if (processHasOpen(entry->d_name, device)) {
            found = true;
            break;
        }
    }
    ::closedir(processes);
    return found;
}

bool portHeldElsewhere(const std::filesystem::path& node) {
    if (lockFileOfLiveProcess(node.filename().string())) return true;
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EBUSY || openByAnotherProcess(node);
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked || openByAnotherProcess(node);
}

bool holdPortExclusively(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno != EWOULDBLOCK;
    // Refused only where the kernel has no such ioctl for the node; the lock still holds.
    (void)::ioctl(fd, TIOCEXCL);
    return true;
}

}  // namespace qe
