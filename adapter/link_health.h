#pragma once

#include <algorithm>
#include <cstdint>

namespace qe {

// How the exchanges with the adapter have gone since it was connected (or since the counts
// were last reset). Counted where the link waits for a reply, a few additions per exchange,
// so that "is it my magnet or my cable?" can be answered at a glance.
struct LinkHealth {
    static constexpr std::int64_t kNsPerMinute = 60'000'000'000;

    std::int64_t connectedAtNs = 0;
    std::int64_t countingSinceNs = 0;  // connect or the last reset
    std::uint64_t replies = 0;         // replies that came whole within their time
    std::uint64_t late = 0;            // replies that came whole, but after their designed time
    std::uint64_t timeouts = 0;        // replies that never came whole
    std::uint64_t failedReads = 0;     // looks at or reads of the receive queue the driver refused
    std::int64_t replyNsTotal = 0;
    std::int64_t worstReplyNs = 0;
    std::int64_t worstLateNs = 0;

    void restart(std::int64_t nowNs) {
        *this = LinkHealth{};
        connectedAtNs = nowNs;
        countingSinceNs = nowNs;
    }
    // Counts afresh; the connection stays as it is.
    void reset(std::int64_t nowNs) {
        const std::int64_t connected = connectedAtNs;
        restart(nowNs);
        connectedAtNs = connected;
    }
    void replied(std::int64_t ns) {
        ++replies;
        replyNsTotal += ns;
        worstReplyNs = std::max(worstReplyNs, ns);
    }
    void cameLate(std::int64_t ns) {
        ++late;
        worstLateNs = std::max(worstLateNs, ns);
    }
    void timedOut() { ++timeouts; }
    // A reply counted as timed out has come after all.
    void timedOutReplyCame(std::int64_t ns) {
        if (timeouts > 0) --timeouts;
        cameLate(ns);
    }
    void readFailed() { ++failedReads; }

    double meanReplyMs() const {
        return replies == 0 ? 0.0 : static_cast<double>(replyNsTotal) / replies / 1e6;
    }
    double worstReplyMs() const { return static_cast<double>(worstReplyNs) / 1e6; }
    double worstLateMs() const { return static_cast<double>(worstLateNs) / 1e6; }

    // Events a minute since counting began; 0 before a second has passed, when a rate says
    // nothing yet.
    double perMinute(std::uint64_t events, std::int64_t nowNs) const {
        const std::int64_t span = nowNs - countingSinceNs;
        if (span < kNsPerMinute / 60) return 0.0;
        return static_cast<double>(events) * kNsPerMinute / static_cast<double>(span);
    }
    double timeoutsPerMinute(std::int64_t nowNs) const { return perMinute(timeouts, nowNs); }
    double latePerMinute(std::int64_t nowNs) const { return perMinute(late, nowNs); }
    double failedReadsPerMinute(std::int64_t nowNs) const { return perMinute(failedReads, nowNs); }
};

}  // namespace qe
