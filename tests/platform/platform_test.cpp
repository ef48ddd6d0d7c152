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
#include "screen_saver.h"
#include "screen_saver_activity.h"
#include "version.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace qe {
namespace {

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
