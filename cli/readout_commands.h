#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "capture_session.h"
#include "exit_status.h"
#include "magnet_check.h"
#include "readout_loop.h"

namespace qe::cli {

struct Invocation;

// How a command that follows the live readout ended: its exit status and, for a failure, the
// reason (not yet printed).
struct ReadoutEnding {
    int status = kExitSuccess;
    std::string reason;
    bool ok() const { return status == kExitSuccess; }
};

// --- watch -------------------------------------------------------------------------------------
struct WatchOptions {
    int intervalMs = static_cast<int>(chip::kReadoutIntervalNs / 1'000'000);
    std::optional<long long> count;
    std::optional<std::string> csv;  // "-": standard output
    bool force = false;              // a file already there is replaced
    bool summary = true;             // a line (a document with --json) about the CSV file written
    std::string progressName = "watch";  // how the progress line names the work
    // --rate max|HZ: a capture at the speed of the link; its pace (0: no pause at all).
    std::optional<std::int64_t> captureIntervalNs;
    chip::CaptureOptions capture;  // --in-flight, --latency-ms
};

// How far a log got.
struct WatchTally {
    long long readings = 0;      // readouts with a reply
    long long gaps = 0;          // reads without one
    long long rows = 0;          // CSV rows written
    std::int64_t elapsedNs = 0;  // from the first CSV row's readout to the last one's
};

// Tells on stderr where a capture runs with less than asked ("qe7204ctl: note").
void tellCaptureNotes(Invocation& call, const chip::CaptureSession& capture);

// Reads the outputs at the interval and logs each readout; a log shorter than --count is
// interrupted, not done.
ReadoutEnding followReadout(Invocation& call, const WatchOptions& options, WatchTally& tally);

// --- magnet-check ------------------------------------------------------------------------------
struct MagnetCheckOptions {
    int turns = 2;
    double timeoutSeconds = 60.0;
    bool json = false;
    std::string from;  // a recording to analyse instead of the live readout
    std::optional<chip::MagnetVerdict> require;  // the worst verdict that passes
    bool fast = false;  // --fast: read as a capture, at the speed of the link
};

// Follows the live readout until the turns are done and judges them; the progress goes to
// stderr unless the result is JSON.
// --require's value, the worst verdict that passes; the refusal's text when it is neither
// good nor marginal (nothing given, when the option had no value).
std::optional<chip::MagnetVerdict> requiredVerdict(const std::optional<std::string>& text,
                                                   std::string& refusal);

ReadoutEnding followMagnetCheck(Invocation& call, const MagnetCheckOptions& options,
                                chip::MagnetCheckResult& result);

}  // namespace qe::cli
