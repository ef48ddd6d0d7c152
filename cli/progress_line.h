#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "environment.h"

namespace qe::cli {

// How far long work got, as one line on standard error rewritten in place ("\r") a few
// times a second and taken away at the end. Only on a terminal, and not under --json:
// a log file or a script reading the messages sees nothing of it.
class ProgressLine {
public:
    static constexpr std::int64_t kIntervalNs = 250'000'000;  // four updates a second

    ProgressLine(Environment& environment, bool wanted);
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool shown() const { return shown_; }
    // The line now says `text`; sooner than kIntervalNs after the last change only when `now`
    // (a new step), else the text waits for a later update.
    void update(const std::string& text, bool now = false);
    // Takes the line away, before anything else is written to the terminal and at the end.
    void clear();

private:
    Environment& environment_;
    bool shown_;
    bool visible_ = false;
    std::optional<std::int64_t> lastNs_;
};

}  // namespace qe::cli
