#pragma once

#include <string>

#include "chip_result.h"

namespace qe::cli {

class Bench;
}  // namespace qe::cli

namespace qe {
class FtdiDriver;
}

namespace qe::cli {

// Why a command or a call on the chip failed, finer than the exit statuses they map to.
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

// The one table from a failure to the status qe7204ctl exits with.
int exitStatusOf(FailureKind kind);

struct CommandFailure {
    FailureKind kind;
    std::string reason;
};

// Why the adapter or the chip could not be reached, from what the driver listed and said
// (`driver`: the one made for the bench, asked why an open failed).
CommandFailure whyNotReached(Bench& bench, const FtdiDriver& driver, const chip::Result& reached,
                             const std::string& serialAsked);

// A failed operation on a reached chip, told apart from a lost adapter.
CommandFailure whyFailed(Bench& bench, const chip::Result& result, const std::string& fallback);

}  // namespace qe::cli
