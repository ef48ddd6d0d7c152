// "Fast capture" in the Plot window, on the simulated adapter at a real adapter's pace and a
// manual clock: the poll leaves the adapter alone while it runs, the readouts come far faster
// than the poll's, and the designed latency timer is back however the capture ends.
#include <gtest/gtest.h>
#include <QPushButton>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "fast_capture.h"
#include "plot_window.h"
#include "simulated_bench.h"

namespace qe::ui {
namespace {

constexpr int kDesignedLatencyMs = 16;
constexpr int kCaptureLatencyMs = 2;

class FastCaptureTest : public ::testing::Test {
public:
    FastCaptureTest() {
        plot.offerFastCapture(capture);
        plot.show();
        for (int tick = 0; tick < 3; ++tick) bench.tick(50);
    }

    sim::SimulatedAdapter& adapter() { return bench.simulation->adapter(); }
    QPushButton* button() const {
        return plot.findChild<QPushButton*>(QStringLiteral("PlotFastCapture"));
    }
    // The frames and the latency timer calls since the last look.
    std::vector<std::string> newTexts() {
        const sim::Transcript& transcript = bench.simulation->transcript();
        std::vector<std::string> texts;
        for (const sim::Transcript::Event& e : transcript.events())
            if (e.kind == sim::Transcript::Kind::Frame || e.text.starts_with("latency"))
                texts.push_back(e.text);
        bench.simulation->transcript().clear();
        return texts;
    }
    // Slices as the event loop runs them, with the poll's ticks falling due among them.
    void captureFor(int ticks) {
        for (int tick = 0; tick < ticks; ++tick) {
            for (int slice = 0; slice < 5; ++slice) capture.readSlice();
            bench.tick(0);
        }
    }

    test::SimulatedBench bench{{.chips = 1, .revolutionsPerSecond = 1.5}};
    FastCapture capture{bench.device,
                        [this](std::function<void()> interrupted) {
                            bench.window.pausePoll(std::move(interrupted));
                        },
                        [this] { bench.window.resumePoll(); }};
    PlotWindow plot{bench.window.readoutStream(), bench.clock,
                    [] { return chip::RecordingSource{}; }, bench.boxes};
};

TEST_F(FastCaptureTest, ThePollPausesWhileItRunsAndTheReadoutsComeFast) {
    ASSERT_TRUE(bench.device.chipPowered());
    ASSERT_TRUE(button()->isVisible());
    const std::size_t before = plot.history().points().size();
    newTexts();

    button()->click();
    ASSERT_TRUE(capture.running()) << capture.note().toStdString();
    EXPECT_EQ(adapter().latencyTimerMs(), kCaptureLatencyMs);
    captureFor(10);

    // Only the capture's reads: no connection check, scan or power query of a tick.
    std::vector<std::string> texts = newTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "latency 2");
    EXPECT_TRUE(std::all_of(texts.begin() + 1, texts.end(), [](const std::string& t) {
        return t == "readOutputs 0";
    })) << testing::PrintToString(texts);
    const auto& points = plot.history().points();
    const std::size_t captured = points.size() - before;
    ASSERT_GE(captured, 50u);
    const double seconds = (points.newest().timeMs - points[before].timeMs) / 1000.0;
    EXPECT_GT(static_cast<double>(captured - 1) / seconds, 100.0) << "the poll reads 15 a second";

    button()->click();
    EXPECT_FALSE(capture.running());
    EXPECT_EQ(adapter().latencyTimerMs(), kDesignedLatencyMs);
    EXPECT_EQ(newTexts(), std::vector<std::string>{"latency 16"});
    bench.tick(50);
    texts = newTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "readOutputs 0"), texts.end())
        << "the poll reads again";
}

struct Ending {
    const char* name;
    std::function<void(FastCaptureTest&)> act;
};

void PrintTo(const Ending& e, std::ostream* out) {
    *out << e.name;
}

class FastCaptureEnding : public FastCaptureTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(FastCaptureEnding, PutsTheDesignedLatencyTimerBack) {
    button()->click();
    ASSERT_TRUE(capture.running());
    captureFor(2);
    ASSERT_EQ(adapter().latencyTimerMs(), kCaptureLatencyMs);

    GetParam().act(*this);

    EXPECT_FALSE(capture.running());
    EXPECT_FALSE(button()->isChecked());
    EXPECT_EQ(adapter().latencyTimerMs(), kDesignedLatencyMs);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, FastCaptureEnding,
    ::testing::Values(
        Ending{"ButtonUp", [](FastCaptureTest& t) { t.button()->click(); }},
        Ending{"PlotClosed", [](FastCaptureTest& t) { t.plot.close(); }},
        Ending{"PowerOff", [](FastCaptureTest& t) { t.bench.window.BtnOFFClick(); }},
        // Any handler's exchanges: the settings read again, as Power ON does.
        Ending{"AChipOperation", [](FastCaptureTest& t) { t.bench.window.RefreshSettingsPanel(); }},
        Ending{"MainWindowClosed", [](FastCaptureTest& t) { t.bench.window.close(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FastCaptureTest, AnAdapterLostEndsItAndTheNextOpenHasTheDesignedTimer) {
    button()->click();
    captureFor(1);
    adapter().unplug();
    captureFor(1);
    EXPECT_FALSE(capture.running());
    EXPECT_FALSE(button()->isChecked());
    EXPECT_EQ(capture.note().toStdString(), "Fast capture ended: the adapter stopped answering.");
    adapter().replug();
    for (int tick = 0; tick < 30 && !bench.device.chipPowered(); ++tick) bench.tick(50);
    EXPECT_TRUE(bench.device.adapterOpen());
    EXPECT_EQ(adapter().latencyTimerMs(), kDesignedLatencyMs);
}

TEST_F(FastCaptureTest, DoesNotStartWithoutAPoweredChip) {
    bench.window.BtnOFFClick();
    newTexts();
    button()->click();
    EXPECT_FALSE(capture.running());
    EXPECT_FALSE(button()->isChecked());
    EXPECT_EQ(capture.note().toStdString(),
              "Fast capture needs an adapter with the chip supply on.");
    EXPECT_EQ(newTexts(), std::vector<std::string>{});
}

}  // namespace
}  // namespace qe::ui
