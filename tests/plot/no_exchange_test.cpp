// The plot is fed by the readouts the poll cycle makes anyway: with it open, the adapter sees
// exactly what it sees without it.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "adapter_link.h"
#include "chip_connection.h"
#include "chip_session.h"
#include "main_window.h"
#include "plot_window.h"
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
    int readouts = 0;
    std::vector<std::string> driverTexts;
};

// Start-up, then 40 poll ticks (scans included) with the magnet turning, on a manual clock.
Watch watchTheChip(bool withPlot) {
    ManualClock clock(100'000 * kNsPerMs);
    auto simulation = sim::makeDefaultSimulation(
        clock, {.chips = 1, .revolutionsPerSecond = 1.5, .instantReplies = true});
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

    std::unique_ptr<PlotWindow> plot;
    if (withPlot) {
        plot = std::make_unique<PlotWindow>(
            window.readoutStream(), clock, [] { return chip::RecordingSource{}; }, boxes);
        plot->show();
    }
    for (int tick = 0; tick < 40; ++tick) {
        clock.advanceMs(66);
        window.Timer1Timer();
        if (plot) plot->refresh();
    }
    Watch watch;
    watch.readouts = plot ? static_cast<int>(plot->history().points().size()) : 0;
    watch.driverTexts = simulation->transcript().texts();
    return watch;
}

TEST(PlotWindowCost, TheAdapterSeesTheSameWithThePlotOpenOrClosed) {
    const Watch without = watchTheChip(false);
    const Watch with = watchTheChip(true);
    const auto outputReads =
        std::count(with.driverTexts.begin(), with.driverTexts.end(), std::string("readOutputs 0"));
    ASSERT_GE(outputReads, 40);
    EXPECT_EQ(with.readouts, outputReads) << "the plot got every readout";
    EXPECT_EQ(with.driverTexts, without.driverTexts);
}

}  // namespace
}  // namespace qe::ui
