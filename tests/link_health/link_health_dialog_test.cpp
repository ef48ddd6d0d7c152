#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <chrono>

#include "link_health_dialog.h"

namespace qe::ui {
namespace {

constexpr std::int64_t kMs = 1'000'000;

class LinkHealthDialogTest : public ::testing::Test {
protected:
    void readoutAt(std::int64_t ms) {
        stream.publish(chip::makeReadoutSample(RegisterImage{}, chip::DerivedValues{}, ms * kMs,
                                               chip::WallTime{}));
    }
    QString shown(const char* name) {
        dialog.showFacts();
        return dialog.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

    chip::ReadoutStream stream;
    LinkHealthDialog::Facts facts;
    int resets = 0;
    LinkHealthDialog dialog{stream, [this] { return facts; },
                            [this] {
                                ++resets;
                                facts.health.reset(facts.nowNs);
                            }};
};

TEST_F(LinkHealthDialogTest, ShowsTheCountsSinceConnectAndWhatTheLinkIs) {
    facts.connected = true;
    facts.health.restart(1'000 * kMs);
    facts.health.replied(16 * kMs);
    facts.health.replied(17 * kMs);
    facts.health.replied(21'500'000);
    facts.health.timedOut();
    facts.health.readFailed();
    facts.health.readFailed();
    facts.nowNs = (1'000 + 3'723'000) * kMs;  // 1 h 2 min 3 s later
    facts.backend = "Simulated adapter";
    facts.serial = "QE000001";

    EXPECT_EQ(shown("HealthReplyTime"), "mean 18.2 ms, worst 21.5 ms");
    EXPECT_EQ(shown("HealthTimeouts"), "1");
    EXPECT_EQ(shown("HealthFailedReads"), "2");
    EXPECT_EQ(shown("HealthConnectedFor"), "1:02:03");
    EXPECT_EQ(shown("HealthBackend"), "Simulated adapter");
    EXPECT_EQ(shown("HealthSerial"), "QE000001");
    EXPECT_EQ(shown("HealthLate"), "0");
    EXPECT_EQ(shown("HealthRates"), "time-outs 0.0, late 0.0, failed reads 0.0");

    facts = {};
    facts.backend = "D2XX library";
    EXPECT_EQ(shown("HealthConnectedFor"), "not connected");
    EXPECT_EQ(shown("HealthReplyTime"), "no replies yet");
    EXPECT_EQ(shown("HealthSerial"), "\u2014");
    EXPECT_EQ(shown("HealthReadoutRate"), "0.0");
    EXPECT_EQ(shown("HealthRates"), "\u2014");
}

// Late replies apart from the lost ones, rates a minute since counting began, and a reset.
TEST_F(LinkHealthDialogTest, LateRepliesRatesAndReset) {
    facts.connected = true;
    facts.health.restart(0);
    facts.health.replied(10 * kMs);
    facts.health.cameLate(24 * kMs);
    facts.health.timedOut();
    facts.health.timedOutReplyCame(31'250'000);
    facts.health.timedOut();
    facts.health.readFailed();
    facts.nowNs = 30'000 * kMs;  // half a minute
    EXPECT_EQ(shown("HealthLate"), "2, worst 31.3 ms");
    EXPECT_EQ(shown("HealthTimeouts"), "1");
    EXPECT_EQ(shown("HealthRates"), "time-outs 2.0, late 4.0, failed reads 2.0");

    dialog.findChild<QPushButton*>(QStringLiteral("HealthReset"))->click();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(shown("HealthLate"), "0");
    EXPECT_EQ(shown("HealthTimeouts"), "0");
    EXPECT_EQ(shown("HealthFailedReads"), "0");
    EXPECT_EQ(shown("HealthConnectedFor"), "0:00:30") << "still connected since then";
    facts.nowNs += 60'000 * kMs;
    facts.health.timedOut();
    EXPECT_EQ(shown("HealthRates"), "time-outs 1.0, late 0.0, failed reads 0.0");
}

TEST_F(LinkHealthDialogTest, ReadoutsPerSecondOverTheLastSecondsSinceConnect) {
    // 15 a second for 10 s, then a pause of 2 s.
    for (std::int64_t ms = 0; ms < 10'000; ms += 66) readoutAt(ms);
    const struct {
        std::int64_t nowMs;
        std::int64_t connectedMs;
        double rate;
    } cases[] = {
        {9'990, 0, 1000.0 / 66},      // the last five seconds
        {9'990, 9'000, 1000.0 / 66},  // connected a second ago: that second only
        {9'990, 9'950, 0.0},          // not two readouts yet
        {20'000, 0, 0.0},             // nothing lately
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nowMs);
        EXPECT_NEAR(dialog.readoutsPerSecond(c.nowMs * kMs, c.connectedMs * kMs), c.rate, 1e-9);
    }
    facts.connected = true;
    facts.health.restart(0);
    facts.nowNs = 9'990 * kMs;
    EXPECT_EQ(shown("HealthReadoutRate"), "15.2");
}

}  // namespace
}  // namespace qe::ui
