// A command line on a bench whose adapter answers late: it waits as long as a real adapter
// may take, and no late byte ever becomes a wrong answer.
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <sstream>
#include <string>

#include "cli_rig.h"
#include "exit_status.h"

namespace qe::cli::test {
namespace {

using Args = std::vector<std::string>;

class LateReplies : public CliRig {
protected:
    // Replies to frames that start with `prefix` come `ms` after their frame.
    void delayRepliesTo(std::vector<std::uint8_t> prefix, std::uint32_t ms) {
        onSimulation = [prefix, ms](sim::SimulatedDriver& driver) {
            driver.adapter().delayRepliesTo(prefix, ms);
        };
    }
};

TEST_F(LateReplies, SupplyAnswer21MsLateStillReadsTheChip) {
    delayRepliesTo({'Z', 4}, 21);
    for (int run = 0; run < 10; ++run) {
        SCOPED_TRACE(run);
        const Run r = this->run({"--simulate", "get", "Res"});
        EXPECT_EQ(r.status, kExitSuccess) << r.err;
        EXPECT_EQ(r.out, "4096\n");
        EXPECT_EQ(r.err, "");
    }
}

// Held to the window's 20 ms the supply answer is missed, but its late byte is never taken
// for a second chip.
TEST_F(LateReplies, SupplyAnswerPastTheReplyTimeOutMakesNoPhantomChip) {
    delayRepliesTo({'Z', 4}, 21);
    for (int run = 0; run < 10; ++run) {
        SCOPED_TRACE(run);
        const Run r = this->run({"--simulate", "--reply-timeout", "20", "get", "Res"});
        EXPECT_EQ(r.err.find("more than one"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Chips answer at"), std::string::npos) << r.err;
    }
}

TEST_F(LateReplies, WatchReadsEveryOutputThatComes24MsLate) {
    delayRepliesTo({'V'}, 24);
    const Run r = run({"--simulate", "watch", "--count", "20", "--interval", "50"});
    EXPECT_EQ(r.status, kExitSuccess) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 20) << r.out;  // one line each
}

// Replies spread over the latency timer and now and then tens of milliseconds later, as on a
// loaded bus: each readout is timed by when its request left, so the reply's wait is no
// position error. A perfectly mounted magnet is good at every speed the check can follow, and
// an off-centre one shows its true first harmonic.
class PacedMagnetCheck : public CliRig {
protected:
    QJsonObject check(const std::string& turnsPerSecond, const std::string& offCentre,
                      std::uint32_t seed) {
        onSimulation = [seed](sim::SimulatedDriver& driver) {
            driver.adapter().setInstantReplies(false);
            driver.adapter().setPace(sim::SimulatedAdapter::Pace::LoadedBus, seed);
        };
        Args args{"--simulate", "--magnet-speed", turnsPerSecond};
        if (!offCentre.empty()) args.insert(args.end(), {"--magnet-off-centre", offCentre});
        args.insert(args.end(), {"magnet-check", "--json"});
        const Run r = run(args);
        EXPECT_EQ(r.status, kExitSuccess) << r.err;
        return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    }
};

TEST_F(PacedMagnetCheck, APerfectMagnetIsGoodAtEverySpeed) {
    for (const char* speed : {"0.5", "1", "1.5"})
        for (std::uint32_t seed = 1; seed <= 10; ++seed) {
            SCOPED_TRACE(std::string(speed) + " turns/s, seed " + std::to_string(seed));
            const QJsonObject report = check(speed, "", seed);
            EXPECT_EQ(report["verdict"].toString().toStdString(), "good")
                << QJsonDocument(report).toJson().toStdString();
            EXPECT_LT(report["speed_variation_percent"].toDouble(), 5.0);
        }
}

TEST_F(PacedMagnetCheck, AnOffCentreMagnetShowsItsFirstHarmonic) {
    for (const char* speed : {"0.5", "1", "1.5"})
        for (std::uint32_t seed = 1; seed <= 10; ++seed) {
            SCOPED_TRACE(std::string(speed) + " turns/s, seed " + std::to_string(seed));
            const QJsonObject report = check(speed, "20", seed);
            EXPECT_EQ(report["verdict"].toString().toStdString(), "bad");
            EXPECT_NEAR(report["error_first_harmonic_counts"].toDouble(), 20.0, 2.0);
        }
}

}  // namespace
}  // namespace qe::cli::test
