#pragma once

#include <filesystem>
#include <string>

namespace qe {

// Whether another program holds a serial port node: a lock file of a live process in one of
// the system's lock folders (Qt Serial Port's, or the UUCP-style ones of minicom and friends),
// an exclusive open (TIOCEXCL), a lock on the node (flock), or simply the node open in another
// process. Opens the node without waiting only when no lock file answers the question.
bool portHeldElsewhere(const std::filesystem::path& node);

// Whether another process has the device open, as fuser finds it: a descriptor under
// /proc/PID/fd that leads to the same device. Processes whose descriptors this user may not
// read (other users', without privilege) are passed over.
bool openByAnotherProcess(const std::filesystem::path& node);

// Keeps others out of a port this program has just opened: the lock on the node, which every
// program that asks sees (root's too), and TIOCEXCL, which refuses others' opens. False when
// another program already holds the lock; the descriptor is then left as it was.
bool holdPortExclusively(int fd);

}  // namespace qe
