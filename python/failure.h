#pragma once

#include <stdexcept>
#include <string>

namespace qe::python {

// Why a call on the chip failed, in the categories qe7204ctl's exit statuses stand for:
// the call itself (usage), the adapter, the chip, a file. The module raises one exception
// class for each (exceptions.cpp).
enum class FailureKind {
    Usage,              // an argument was not understood; nothing was touched
    NoAdapter,          // no adapter listed, or none with the serial number asked for
    AdapterBusy,        // listed, but another program holds it
    NoPermission,       // listed, but this user may not open it
    AdapterLost,        // it stopped answering: unplugged, or closed under the call
    NoChip,             // no chip answers, or the adapter reports the supply off
    TooManyChips,       // several chips answer and none was chosen by address
    NoReply,            // the chip did not answer a read
    ChipRefused,        // the chip did not take a write
    NotVerified,        // PROG: the EEPROM read back differs from the working words
    FileRefused,        // a configuration file could not be read, written or used
    MagnetCheckFailed,  // the magnet check could not judge (too few turns, readouts)
};

struct Failure : std::runtime_error {
    Failure(FailureKind kind, const std::string& reason) : std::runtime_error(reason), kind(kind) {}
    FailureKind kind;
};

}  // namespace qe::python
