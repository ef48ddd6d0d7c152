// The window's magnet check on an adapter that answers at a real one's pace: replies spread
// over the latency timer and now and then tens of milliseconds later. The poll cycle stamps
// each readout with the time its request left, so the wait for a reply is no position error.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <string>

#include "magnet_check_dialog.h"
#include "simulated_bench.h"

namespace qe::ui {
namespace {

struct SpeedCase {
    double turnsPerSecond;
    double offCentreCounts;
};

// The designed poll cycle, 50 ms after each tick's work, until the check is done.
chip::MagnetReport checkOnALoadedBus(const SpeedCase& c, std::uint32_t seed) {
    test::SimulatedBench bench({.chips = 1,
                                .revolutionsPerSecond = c.turnsPerSecond,
                                .instantReplies = false,
                                .loadedBus = true,
                                .offCentreCounts = c.offCentreCounts});
    bench.simulation->adapter().setPace(sim::SimulatedAdapter::Pace::LoadedBus, seed);
    MagnetCheckDialog dialog(bench.window.readoutStream());
    dialog.show();
    // The supply's answer may come past the window's limit: "Power ON" again, as a user would.
    // The bus is scanned once a second; a scan's reply may come late too.
    for (int tick = 0; tick < 400 && !(bench.device.chipPowered() && bench.device.oneChip());
         ++tick) {
        if (!bench.device.chipPowered()) bench.window.BtnONClick();
        bench.tick(50);
    }
    EXPECT_TRUE(bench.device.oneChip());
    dialog.startButton()->click();
    for (int tick = 0; tick < 2000 && dialog.running(); ++tick) bench.tick(50);
    EXPECT_TRUE(dialog.report()) << dialog.stateLabel()->text().toStdString();
    return dialog.report().value_or(chip::MagnetReport{});
}

TEST(MagnetCheckOnALoadedBus, APerfectMagnetIsGoodAtEverySpeed) {
    for (const double speed : {0.5, 1.0, 1.5})
        for (std::uint32_t seed = 1; seed <= 10; ++seed) {
            SCOPED_TRACE(std::to_string(speed) + " turns/s, seed " + std::to_string(seed));
            const chip::MagnetReport report = checkOnALoadedBus({speed, 0.0}, seed);
            EXPECT_EQ(report.verdict, chip::MagnetVerdict::Good) << chip::magnetReportText(report);
            EXPECT_LT(report.speedVariationPercent, 5.0);
        }
}

TEST(MagnetCheckOnALoadedBus, AnOffCentreMagnetShowsItsFirstHarmonic) {
    for (const double speed : {0.5, 1.0, 1.5})
        for (std::uint32_t seed = 1; seed <= 10; ++seed) {
            SCOPED_TRACE(std::to_string(speed) + " turns/s, seed " + std::to_string(seed));
            const chip::MagnetReport report = checkOnALoadedBus({speed, 20.0}, seed);
            EXPECT_EQ(report.verdict, chip::MagnetVerdict::Bad);
            EXPECT_NEAR(report.errorFirst.amplitude, 20.0, 2.0);
        }
}

}  // namespace
}  // namespace qe::ui
