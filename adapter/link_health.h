#pragma once

#include <algorithm>
#include <cstdint>

namespace qe {

// How the exchanges with the adapter have gone since it was connected. Counted where the
// link waits for a reply, a few additions per exchange, so that "is it my magnet or my
// cable?" can be answered at a glance.
struct LinkHealth {
    std::int64_t connectedAtNs = 0;
    std::uint64_t replies = 0;      // replies that came whole within their time
    std::uint64_t timeouts = 0;     // waits that ended before the whole reply had come
    std::uint64_t failedReads = 0;  // looks at or reads of the receive queue the driver refused
    std::int64_t replyNsTotal = 0;
    std::int64_t worstReplyNs = 0;

    void restart(std::int64_t nowNs) {
        *this = LinkHealth{};
        connectedAtNs = nowNs;
    }
    void replied(std::int64_t ns) {
        ++replies;
        replyNsTotal += ns;
        worstReplyNs = std::max(worstReplyNs, ns);
    }
    void timedOut() { ++timeouts; }
    void readFailed() { ++failedReads; }

    double meanReplyMs() const {
        return replies == 0 ? 0.0 : static_cast<double>(replyNsTotal) / replies / 1e6;
    }
    double worstReplyMs() const { return static_cast<double>(worstReplyNs) / 1e6; }
};

}  // namespace qe
