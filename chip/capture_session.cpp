#include "capture_session.h"

#include <algorithm>

#include "chip.h"

namespace qe::chip {

namespace {
std::string statusText(FtStatus status) {
    return " (status " + std::to_string(status) + ")";
}
}  // namespace

CaptureSession::CaptureSession(Chip& chip, const CaptureOptions& options) : chip_(chip) {
    lowerLatency(options.latencyMs);
    probeInFlight(std::clamp<std::size_t>(options.inFlight, 1, AdapterLink::kMaxFramesInFlight));
    chip_.readouts().captureInFlight_ = inFlight_;
}

CaptureSession::~CaptureSession() {
    finish();
}

void CaptureSession::lowerLatency(std::uint8_t asked) {
    AdapterLink& link = chip_.link_;
    FtStatus status = link.setLatencyTimer(asked);
    if (status == FT_OK) {
        latencyMs_ = asked;
        return;
    }
    std::string note = "the adapter refused a latency timer of " + std::to_string(asked) + " ms" +
                       statusText(status);
    // Not every chip takes 1 ms; they all take 2.
    if (asked != AdapterLink::kCaptureLatencyMs &&
        link.setLatencyTimer(AdapterLink::kCaptureLatencyMs) == FT_OK) {
        latencyMs_ = AdapterLink::kCaptureLatencyMs;
    } else {
        // Whatever a refusal left behind, the designed timer is what the link waits for.
        link.restoreLatencyTimer();
        latencyMs_ = AdapterLink::kLatencyTimerMs;
    }
    notes_.push_back(note + "; capturing at " + std::to_string(latencyMs_) + " ms");
}

void CaptureSession::probeInFlight(std::size_t asked) {
    if (asked <= 1) return;
    if (chip_.link_.probeOutputsInFlight(chip_.chipAddress(), asked)) {
        inFlight_ = asked;
        return;
    }
    notes_.push_back("the adapter did not return " + std::to_string(asked) +
                     " frames in flight whole and in order; reading with one in flight");
}

void CaptureSession::settle() {
    if (!finished_) chip_.link_.abandonOutputsInFlight();
}

bool CaptureSession::finish() {
    if (finished_) return true;
    finished_ = true;
    chip_.readouts().captureInFlight_ = 0;
    AdapterLink& link = chip_.link_;
    link.abandonOutputsInFlight();
    const FtStatus status = link.restoreLatencyTimer();
    if (status == FT_OK) return true;
    notes_.push_back("the adapter refused its latency timer of " +
                     std::to_string(AdapterLink::kLatencyTimerMs) + " ms back" +
                     statusText(status));
    return false;
}

}  // namespace qe::chip
