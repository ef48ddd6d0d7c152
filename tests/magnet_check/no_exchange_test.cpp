// The magnet check listens to the readouts the poll cycle makes anyway: while it runs, the
// adapter sees exactly what it sees without it.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "adapter_link.h"
#include "chip_connection.h"
#include "chip_session.h"
#include "magnet_check_dialog.h"
#include "main_window.h"
#include "recording_sink.h"
#include "simulation.h"

namespace qe::ui {
namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;

class NoScreenSaver final : public ScreenSaver {
public:
    bool isRunning() override { return false; }
    void wakeUp() override {}
};

struct Watch {
    std::vector<std::string> driverTexts;
    std::optional<chip::MagnetReport> report;
};

// Start-up, then 80 poll ticks with an off-centre, tilted magnet turning, on a manual clock.
Watch watchTheChip(bool withCheck) {
    ManualClock clock(100'000 * kNsPerMs);
    auto simulation = sim::makeDefaultSimulation(clock, {.chips = 1,
                                                         .revolutionsPerSecond = 0.5,
                                                         .instantReplies = true,
                                                         .offCentreCounts = 20.0,
                                                         .offCentrePhaseDeg = 30.0,
                                                         .tiltAgcLevels = 3.0});
    qe::test::RecordingSink boxes;
    RegisterImage image{};
    AdapterLink link(*simulation, clock, boxes, image);
    QTemporaryDir iniDir;
    chip::ChipSession session(link);
    chip::ChipConnection connection(
        link, session, iniDir.filePath(QStringLiteral("qe7204-tool.ini")).toStdString());
    MicrosecondDelay delay(clock);
    NoScreenSaver screenSaver;
    MainWindow window(session, connection, delay, screenSaver);

    MagnetCheckDialog dialog(window.readoutStream());
    if (withCheck) {
        dialog.show();
        dialog.startButton()->click();
    }
    for (int tick = 0; tick < 80; ++tick) {
        clock.advanceMs(66);
        window.Timer1Timer();
    }
    return {simulation->transcript().texts(), dialog.report()};
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
