// The plot is fed by the readouts the poll cycle makes anyway: with it open, the adapter sees
// exactly what it sees without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "plot_window.h"
#include "simulated_bench.h"

namespace qe::ui {
namespace {

struct Watch {
    int readouts = 0;
    std::vector<std::string> driverTexts;
};

// Start-up, then 40 poll ticks (scans included) with the magnet turning, on a manual clock.
Watch watchTheChip(bool withPlot) {
    test::SimulatedBench bench({.chips = 1, .revolutionsPerSecond = 1.5, .instantReplies = true});
    std::unique_ptr<PlotWindow> plot;
    if (withPlot) {
        plot = std::make_unique<PlotWindow>(
            bench.window.readoutStream(), bench.clock, [] { return chip::RecordingSource{}; },
            bench.boxes);
        plot->show();
    }
    for (int tick = 0; tick < 40; ++tick) {
        bench.tick(66);
        if (plot) plot->refresh();
    }
    Watch watch;
    watch.readouts = plot ? static_cast<int>(plot->history().points().size()) : 0;
    watch.driverTexts = bench.driverTexts();
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
