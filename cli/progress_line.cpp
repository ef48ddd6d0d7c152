#include "progress_line.h"

namespace qe::cli {

namespace {

// Back to the line's start, and what was there after the cursor erased.
constexpr const char* kLineStart = "\r";
constexpr const char* kEraseRest = "\033[K";

}  // namespace

ProgressLine::ProgressLine(Environment& environment, bool wanted)
    : environment_(environment), shown_(wanted && environment.errIsTerminal) {}

void ProgressLine::update(const std::string& text, bool now) {
    if (!shown_) return;
    const std::int64_t nowNs = environment_.clock.nowNs();
    if (!now && lastNs_ && nowNs - *lastNs_ < kIntervalNs) return;
    lastNs_ = nowNs;
    environment_.err << kLineStart << text << kEraseRest << std::flush;
    visible_ = true;
}

void ProgressLine::clear() {
    if (!visible_) return;
    environment_.err << kLineStart << kEraseRest << std::flush;
    visible_ = false;
}

}  // namespace qe::cli
