#include <gtest/gtest.h>

#include <QList>
#include <QPointF>
#include <chrono>
#include <vector>

#include "plot_history.h"
#include "series_decimation.h"

namespace qe::ui {
namespace {

constexpr std::int64_t kMs = 1'000'000;
const chip::WallTime kWall{std::chrono::milliseconds(1'796'914'569'000)};
constexpr double kWallMs = 1'796'914'569'000.0;

chip::ReadoutSample sample(std::int64_t ms, int absolute, int status = 0) {
    RegisterImage image{};
    image[33] = static_cast<std::uint16_t>(absolute);
    image[34] = static_cast<std::uint16_t>(status << 13);
    // The wall clock is set back by an hour after the first readout: only the first one's
    // wall time counts, the steady clock moves the rest.
    const auto wall = ms == 0 ? kWall : kWall - std::chrono::hours(1);
    return chip::makeReadoutSample(image, chip::DerivedValues{}, 5'000 * kMs + ms * kMs, wall);
}

std::vector<double> turns(const PlotHistory& history) {
    std::vector<double> out;
    for (std::size_t i = 0; i < history.points().size(); ++i)
        out.push_back(history.points()[i].turnsCounts);
    return out;
}

TEST(PlotHistory, CountsWholeTurnsBothWaysAndKeepsTheReadPosition) {
    PlotHistory history;
    const int positions[] = {4000, 50, 4090, 2043, 100, 2146};
    std::int64_t ms = 0;
    for (int p : positions) history.add(sample(ms, p)), ms += 66;
    // Forward over the wrap, back over it, half a turn less one count each way.
    EXPECT_EQ(turns(history), (std::vector<double>{4000, 4146, 4090, 2043, 100, 2146}));
    EXPECT_EQ(history.points()[1].absolute, 50);
    EXPECT_DOUBLE_EQ(history.points()[0].timeMs, kWallMs);
    EXPECT_DOUBLE_EQ(history.points()[5].timeMs, kWallMs + 330.0);
}

TEST(PlotHistory, FindsPointsByTime) {
    PlotHistory history;
    for (int i = 0; i < 5; ++i) history.add(sample(i * 100, i));
    const struct {
        double atMs;
        std::size_t firstAtOrAfter;
        int nearest;
    } cases[] = {
        {kWallMs - 50, 0, 0},  {kWallMs, 0, 0},       {kWallMs + 149, 2, 1},
        {kWallMs + 151, 2, 2}, {kWallMs + 400, 4, 4}, {kWallMs + 999, 5, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.atMs - kWallMs);
        EXPECT_EQ(history.firstAtOrAfter(c.atMs), c.firstAtOrAfter);
        ASSERT_NE(history.nearest(c.atMs), nullptr);
        EXPECT_EQ(history.nearest(c.atMs)->absolute, c.nearest);
    }
    history.clear();
    EXPECT_EQ(history.nearest(kWallMs), nullptr);
}

TEST(PlotHistory, KeepsTenMinutesAtTheFastestPollCycle) {
    PlotHistory history;
    const int tenMinutesAt20PerSecond = 10 * 60 * 20;
    for (int i = 0; i <= tenMinutesAt20PerSecond; ++i) history.add(sample(i * 50, i % 4096));
    EXPECT_DOUBLE_EQ(history.points()[0].timeMs, kWallMs);
}

// --- decimation ---------------------------------------------------------------------

TEST(SeriesDecimation, KeepsEveryPointWhileTheyFitAndEveryPeakWhenNot) {
    PlotHistory history;
    // 1000 readouts 10 ms apart; every 100th one a spike.
    for (int i = 0; i < 1000; ++i) history.add(sample(i * 10, i % 100 == 50 ? 3000 : 1000));
    const auto absolute = [](const PlotPoint& p) { return double(p.absolute); };
    QList<QPointF> line;

    decimateInto(line, history.points(), 0, 1000, kWallMs, kWallMs + 10'000, 600, absolute);
    EXPECT_EQ(line.size(), 1000) << "fits in 2 points a column";

    decimateInto(line, history.points(), 0, 1000, kWallMs, kWallMs + 10'000, 50, absolute);
    EXPECT_LE(line.size(), 100);
    int spikes = 0;
    for (int i = 0; i < line.size(); ++i) {
        if (line[i].y() == 3000) ++spikes;
        if (i > 0) {
            EXPECT_LT(line[i - 1].x(), line[i].x()) << "in time order";
        }
    }
    EXPECT_EQ(spikes, 10) << "no spike lost";

    decimateInto(line, history.points(), 200, 200, kWallMs, kWallMs + 10'000, 50, absolute);
    EXPECT_TRUE(line.isEmpty());
}

}  // namespace
}  // namespace qe::ui
