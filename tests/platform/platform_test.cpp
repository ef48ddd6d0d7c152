#include <gtest/gtest.h>

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "clock.h"
#include "microsecond_delay.h"
#include "screen_saver.h"
#include "screen_saver_activity.h"
#include "version.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace qe {
namespace {

constexpr std::int64_t kUsualStart = 7'000'000;
// 5 ms before the counter's last value, reached exactly by 1 us looks.
constexpr std::int64_t kNearTheEnd = std::numeric_limits<std::int64_t>::max() - 5'000'000;

struct DelayCase {
    const char* name;
    std::int64_t startNs;
    std::int32_t overheadTicks;
    double microseconds;
    std::int64_t elapsedNs;  // on the manual clock, which a look moves on by 1 us
};

TEST(MicrosecondDelay, SpinsUntilTheTargetLessTheOverhead) {
    const DelayCase cases[] = {
        {"zero returns at its first check", kUsualStart, 0, 0.0, 0},
        {"the poll-idle pause", kUsualStart, 0, 505.0, 505'000},
        {"a fraction of a look still takes one look", kUsualStart, 0, 0.5, 1'000},
        {"the overhead ends it early", kUsualStart, 2'000, 505.0, 503'000},
        {"an overhead above the delay ends it at once", kUsualStart, 5'000, 2.0, 0},
        {"a negative overhead makes it longer", kUsualStart, -2'000, 505.0, 507'000},
        {"a negative delay is none", kUsualStart, 0, -3.0, 0},
        {"not a number is none", kUsualStart, 0, std::numeric_limits<double>::quiet_NaN(), 0},
        {"infinity is none", kUsualStart, 0, std::numeric_limits<double>::infinity(), 0},
        {"a delay past the counter's end ends at its end", kNearTheEnd, 0, 505'000.0, 5'000'000},
        {"so does one with a negative overhead", kNearTheEnd, -2'000, 505'000.0, 5'000'000},
        {"a huge finite delay is held at the counter's end", kNearTheEnd, 0, 1e300, 5'000'000},
        {"the largest finite delay too", kNearTheEnd, 0, std::numeric_limits<double>::max(),
         5'000'000},
    };
    for (const DelayCase& c : cases) {
        SCOPED_TRACE(c.name);
        ManualClock clock(c.startNs);
        MicrosecondDelay delay(clock);
        delay.DelayOverheadTicks = c.overheadTicks;
        delay.DelayMicroseconds(c.microseconds);
        EXPECT_EQ(clock.nowNs() - c.startNs, c.elapsedNs);
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

TEST(FileVersionString, FourDecimalFieldsThatAreTheProjectVersion) {
    const QString version = QString::fromStdString(FileVersionString());
    const QRegularExpression fourFields(QStringLiteral("^(0|[1-9][0-9]*)(\\.(0|[1-9][0-9]*)){3}$"));
    ASSERT_TRUE(fourFields.match(version).hasMatch()) << version.toStdString();

    const QStringList fields = version.split(QLatin1Char('.'));
    const QStringList projectParts =
        QStringLiteral(QE7204_EXPECTED_VERSION).split(QLatin1Char('.'));
    ASSERT_EQ(projectParts.size(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        bool isNumber = false;
        EXPECT_EQ(fields[i].toULongLong(), projectParts[i].toULongLong(&isNumber));
        EXPECT_TRUE(isNumber);
    }
}

TEST(FileVersionString, FieldsAreWrittenAsPlainNumbers) {
    const std::pair<const char*, const char*> cases[] = {
        {"1.20.0.7", "1.20.0.7"}, {"1.0.0.007", "1.0.0.7"}, {"01.020.000.10", "1.20.0.10"},
        {"0.0.0.0", "0.0.0.0"},   {"2.1", "2.1.0.0"},       {"", "0.0.0.0"},
    };
    for (const auto& [dotted, text] : cases) {
        SCOPED_TRACE(dotted);
        EXPECT_EQ(FourFieldVersion(dotted), text);
    }
}

// What the desktop says, in the order it arrives: the answer to the question asked at the
// start, or an announced change.
struct ScreenSaverNews {
    bool isAnswer;
    bool active;
};

struct ActivityCase {
    const char* name;
    std::vector<ScreenSaverNews> news;
    bool active;
};

TEST(ScreenSaverActivity, FollowsTheAnswerAndEveryLaterChange) {
    const ActivityCase cases[] = {
        {"nothing heard yet", {}, false},
        {"the answer: active", {{true, true}}, true},
        {"the answer: inactive", {{true, false}}, false},
        {"a change after the answer", {{true, false}, {false, true}}, true},
        {"changes in turn", {{false, true}, {false, false}}, false},
        {"an answer after a change is no newer", {{false, true}, {true, false}}, true},
        {"nor when the change was to inactive", {{false, false}, {true, true}}, false},
    };
    for (const ActivityCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScreenSaverActivity activity;
        for (const ScreenSaverNews& news : c.news) {
            if (news.isAnswer)
                activity.answered(news.active);
            else
                activity.changed(news.active);
        }
        EXPECT_EQ(activity.active(), c.active);
    }
}

// The bus delivers ActiveChanged through the meta-object, by the slot's signature.
TEST(ScreenSaverActivity, TakesTheAnnouncementAsTheBusDeliversIt) {
    ScreenSaverActivity activity;
    ASSERT_GE(activity.metaObject()->indexOfSlot("changed(bool)"), 0);
    for (bool active : {true, false}) {
        SCOPED_TRACE(active);
        ASSERT_TRUE(QMetaObject::invokeMethod(&activity, "changed", Qt::DirectConnection,
                                              Q_ARG(bool, active)));
        EXPECT_EQ(activity.active(), active);
    }
}

// With no session bus to ask, no screen saver is running and waking it does nothing. It runs
// in a fresh process: the session bus connection is made once per process and kept, so only
// there does the address below count, and this process keeps its own environment.
TEST(DesktopScreenSaver, WithoutASessionBus) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/qe7204-test-bus");
            DesktopScreenSaver screenSaver;
            const bool runningBefore = screenSaver.isRunning();
            screenSaver.wakeUp();
            const bool runningAfter = screenSaver.isRunning();
            // No clean-up: the bus library's thread is of no interest here.
            std::_Exit(runningBefore ? 1 : runningAfter ? 2 : 0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qe
