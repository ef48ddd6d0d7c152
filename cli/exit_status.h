#pragma once

namespace qe::cli {

// What qe7204ctl exits with; a station script tells the cases apart by it. The Python
// module's exception categories carry the same numbers (failure.h).
enum ExitStatus : int {
    kExitSuccess = 0,
    kExitFailure = 1,        // anything not told apart below (standard output not written, ...)
    kExitUsage = 2,          // the command line was not understood; nothing was touched
    kExitDifferences = 3,    // diff: the two configurations differ
    kExitAdapter = 4,        // the adapter or fixture: none, busy, no permission, library, lost
    kExitChip = 5,           // the part: no chip, no reply, refused write, not verified
    kExitFile = 6,           // a file could not be read, written or used
    kExitVerdict = 7,        // magnet-check: the verdict is below --require
    kExitRecords = 8,        // the records database: not reached or not usable; a record spooled
    kExitInterrupted = 130,  // Ctrl-C or TERM before the work (a --count) was done
};

}  // namespace qe::cli
