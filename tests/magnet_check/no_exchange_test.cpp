// The magnet check listens to the readouts the poll cycle makes anyway: while it runs, the
// adapter sees exactly what it sees without it.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "magnet_check_dialog.h"
#include "simulated_bench.h"

namespace qe::ui {
namespace {

struct Watch {
    std::vector<std::string> driverTexts;
    std::optional<chip::MagnetReport> report;
};

// Start-up, then 80 poll ticks with an off-centre, tilted magnet turning, on a manual clock.
Watch watchTheChip(bool withCheck) {
    test::SimulatedBench bench({.chips = 1,
                                .revolutionsPerSecond = 0.5,
                                .instantReplies = true,
                                .offCentreCounts = 20.0,
                                .offCentrePhaseDeg = 30.0,
                                .tiltAgcLevels = 3.0});
    MagnetCheckDialog dialog(bench.window.readoutStream());
    if (withCheck) {
        dialog.show();
        dialog.startButton()->click();
    }
    for (int tick = 0; tick < 80; ++tick) bench.tick(66);
    return {bench.driverTexts(), dialog.report()};
}

TEST(MagnetCheckCost, TheAdapterSeesTheSameWithTheCheckRunning) {
    const Watch without = watchTheChip(false);
    const Watch with = watchTheChip(true);
    EXPECT_EQ(with.driverTexts, without.driverTexts);
    EXPECT_FALSE(without.report);
    // And the window's readouts are enough to find the mounting errors.
    ASSERT_TRUE(with.report);
    EXPECT_NEAR(with.report->errorFirst.amplitude, 20.0, 4.0);
    EXPECT_EQ(with.report->agcMin, 5);
    EXPECT_EQ(with.report->agcMax, 11);
}

}  // namespace
}  // namespace qe::ui
