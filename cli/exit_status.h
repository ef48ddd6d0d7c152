#pragma once

namespace qe::cli {

// What qe7204ctl exits with; scripts tell the cases apart by it.
enum ExitStatus : int {
    kExitSuccess = 0,
    kExitFailure = 1,      // the adapter, the chip or a file did not do what was asked
    kExitUsage = 2,        // the command line was not understood; nothing was touched
    kExitDifferences = 3,  // diff: the two configurations differ
};

}  // namespace qe::cli
