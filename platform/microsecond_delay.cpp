#include "microsecond_delay.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QtGlobal>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <sys/resource.h>
#include <cerrno>
#endif

namespace qe {

namespace {

constexpr int kCalibrationReads = 100;
constexpr double kNsPerMicrosecond = 1000.0;
// About 127 years: longer than anyone waits, and still a whole number of ns in 64 bits.
constexpr double kLongestDelayNs = 4.0e18;

// a + b, held at the ends of the range instead of overflowing.
std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    if (b > 0 && a > kMax - b) return kMax;
    if (b < 0 && a < kMin - b) return kMin;
    return a + b;
}

// Raises the process priority for the lifetime of the object where the system allows it,
// and always puts back what was there.
class RaisedPriority {
public:
    RaisedPriority();
    ~RaisedPriority();
    RaisedPriority(const RaisedPriority&) = delete;
    RaisedPriority& operator=(const RaisedPriority&) = delete;

private:
#if defined(Q_OS_WIN)
    HANDLE process_ = GetCurrentProcess();
    DWORD previous_ = 0;
#else
    int previous_ = 0;
#endif
    bool raised_ = false;
};

#if defined(Q_OS_WIN)

RaisedPriority::RaisedPriority() : previous_(GetPriorityClass(process_)) {
    raised_ = previous_ != 0 && SetPriorityClass(process_, REALTIME_PRIORITY_CLASS);
}

RaisedPriority::~RaisedPriority() {
    if (raised_) SetPriorityClass(process_, previous_);
}

#else

constexpr int kHighestPriorityNice = -20;

RaisedPriority::RaisedPriority() {
    // -1 is a valid niceness; only errno tells a failure. Without the right to raise the
    // priority (the usual case) the measurement runs at the normal one.
    errno = 0;
    previous_ = getpriority(PRIO_PROCESS, 0);
    if (errno == 0) raised_ = setpriority(PRIO_PROCESS, 0, kHighestPriorityNice) == 0;
}

RaisedPriority::~RaisedPriority() {
    if (raised_) setpriority(PRIO_PROCESS, 0, previous_);
}

#endif

}  // namespace

void MicrosecondDelay::CalibrateDelay() {
    const RaisedPriority raised;

    const std::int64_t t0 = clock_.nowNs();
    std::int64_t t1 = t0;
    for (int i = 0; i < kCalibrationReads; ++i) t1 = clock_.nowNs();
    const std::int64_t perRead = std::llround(static_cast<double>(t1 - t0) / kCalibrationReads);

    // A delay reads the counter once to start and once more for the look that ends it. The
    // counter counts nanoseconds, so there is no frequency to ask for in between.
    DelayOverheadTicks = static_cast<std::int32_t>(2 * perRead);
}

void MicrosecondDelay::DelayMicroseconds(double microseconds) {
    // Anything that is not a positive, finite time is no time at all. Huge times are cut
    // to what the counter can hold, and the end stops at the counter's end.
    if (!(microseconds > 0.0) || !std::isfinite(microseconds)) microseconds = 0.0;
    const double ns = std::min(microseconds * kNsPerMicrosecond, kLongestDelayNs);
    const std::int64_t target = saturatingAdd(clock_.nowNs(), std::llround(ns));
    const std::int64_t end = saturatingAdd(target, -static_cast<std::int64_t>(DelayOverheadTicks));
    while (clock_.nowNs() < end) clock_.relax();
}

}  // namespace qe
