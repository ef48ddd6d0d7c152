#include <gtest/gtest.h>

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include <cmath>
#include <limits>

#include "clock.h"
#include "platform.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace qe {
namespace {

struct DelayCase {
    const char* name;
    std::int32_t overheadTicks;
    double microseconds;
    std::int64_t elapsedNs;  // on the manual clock, which a look moves on by 1 us
};

TEST(MicrosecondDelay, SpinsUntilTheTargetLessTheOverhead) {
    const DelayCase cases[] = {
        {"zero returns at its first check", 0, 0.0, 0},
        {"the poll-idle pause", 0, 505.0, 505'000},
        {"a fraction of a look still takes one look", 0, 0.5, 1'000},
        {"the overhead ends it early", 2'000, 505.0, 503'000},
        {"an overhead above the delay ends it at once", 5'000, 2.0, 0},
        {"a negative delay is none", 0, -3.0, 0},
        {"not a number is none", 0, std::numeric_limits<double>::quiet_NaN(), 0},
        {"infinity is none", 0, std::numeric_limits<double>::infinity(), 0},
    };
    for (const DelayCase& c : cases) {
        SCOPED_TRACE(c.name);
        ManualClock clock(7'000'000);
        MicrosecondDelay delay(clock);
        delay.DelayOverheadTicks = c.overheadTicks;
        delay.DelayMicroseconds(c.microseconds);
        EXPECT_EQ(clock.nowNs() - 7'000'000, c.elapsedNs);
    }
}

// A counter that costs `step` nanoseconds per reading.
class SteppingClock final : public Clock {
public:
    explicit SteppingClock(std::int64_t step) : step_(step) {}
    std::int64_t nowNs() override {
        const std::int64_t t = now_;
        now_ += step_;
        return t;
    }
    void sleepNs(std::int64_t ns) override { now_ += ns; }

private:
    std::int64_t now_ = 1'000'000;
    std::int64_t step_;
};

TEST(MicrosecondDelay, CalibrationMeasuresTwoCounterReadings) {
    for (std::int64_t step : {0, 1, 7, 250}) {
        SCOPED_TRACE(step);
        SteppingClock clock(step);
        MicrosecondDelay delay(clock);
        delay.CalibrateDelay();
        EXPECT_EQ(delay.DelayOverheadTicks, 2 * step);
    }
}

#ifdef Q_OS_UNIX
TEST(MicrosecondDelay, CalibrationLeavesThePriorityAsItFoundIt) {
    const int before = getpriority(PRIO_PROCESS, 0);
    SteppingClock clock(3);
    MicrosecondDelay delay(clock);
    delay.CalibrateDelay();
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), before);
}
#endif

TEST(FileVersionString, FourDecimalFieldsFromTheBuild) {
    const QString version = QString::fromStdString(FileVersionString());
    EXPECT_EQ(version.toStdString(), QE7204_EXPECTED_VERSION);
    const QRegularExpression fourFields(QStringLiteral("^(0|[1-9][0-9]*)(\\.(0|[1-9][0-9]*)){3}$"));
    EXPECT_TRUE(fourFields.match(version).hasMatch()) << version.toStdString();
}

// With no session bus to ask, no screen saver is running and waking it does nothing.
TEST(DesktopScreenSaver, WithoutASessionBus) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/qe7204-test-bus");
    DesktopScreenSaver screenSaver;
    EXPECT_FALSE(screenSaver.isRunning());
    screenSaver.wakeUp();
    EXPECT_FALSE(screenSaver.isRunning());
}

}  // namespace
}  // namespace qe
