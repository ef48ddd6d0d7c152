#include "platform.h"

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

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#define QE_FREEDESKTOP_SCREENSAVER 1
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

#include "screen_saver_activity.h"

namespace qe {

namespace {

constexpr int kCalibrationReads = 100;
constexpr double kNsPerMicrosecond = 1000.0;
// About 127 years: longer than anyone waits, and still a whole number of ns in 64 bits.
constexpr double kLongestDelayNs = 4.0e18;
constexpr int kVersionFields = 4;

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

// The build's version may carry zero-padded fields (a packager's build number "007"); the
// text shows each field as the number it is.
std::string FourFieldVersion(std::string_view dotted) {
    std::string text;
    for (int field = 0; field < kVersionFields; ++field) {
        const std::size_t dot = dotted.find('.');
        std::string_view digits = dotted.substr(0, dot);
        dotted = dot == std::string_view::npos ? std::string_view() : dotted.substr(dot + 1);
        const std::size_t significant = digits.find_first_not_of('0');
        digits = significant == std::string_view::npos ? std::string_view("0")
                                                       : digits.substr(significant);
        if (field > 0) text += '.';
        text += digits;
    }
    return text;
}

std::string FileVersionString() {
    return FourFieldVersion(QE7204_VERSION);
}

DesktopScreenSaver::~DesktopScreenSaver() = default;

bool DesktopScreenSaver::isRunning() {
    return activity_->active();
}

#ifdef QE_FREEDESKTOP_SCREENSAVER

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");

QDBusMessage screenSaverCall(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

DesktopScreenSaver::DesktopScreenSaver() : activity_(std::make_unique<ScreenSaverActivity>()) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;  // no desktop to ask: nothing is running
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActiveChanged"), activity_.get(),
                SLOT(changed(bool)));
    // Owned by the activity: an answer that comes after it is gone goes nowhere.
    auto* question = new QDBusPendingCallWatcher(
        bus.asyncCall(screenSaverCall(QStringLiteral("GetActive"))), activity_.get());
    QObject::connect(question, &QDBusPendingCallWatcher::finished, activity_.get(),
                     [activity = activity_.get()](QDBusPendingCallWatcher* call) {
                         const QDBusPendingReply<bool> reply = *call;
                         if (reply.isValid()) activity->answered(reply.value());
                         call->deleteLater();
                     });
}

void DesktopScreenSaver::wakeUp() {
    // The desktop takes SimulateUserActivity as input from the user: it restarts the idle
    // timer and ends a running screen saver (a locked session still asks for its password).
    // Sent without waiting for an answer.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) bus.send(screenSaverCall(QStringLiteral("SimulateUserActivity")));
}

#else

// No screen saver interface this tool knows on this platform: nothing is ever running.
DesktopScreenSaver::DesktopScreenSaver() : activity_(std::make_unique<ScreenSaverActivity>()) {}
void DesktopScreenSaver::wakeUp() {}

#endif

}  // namespace qe
