// What watching the chip costs: the main window's real poll cycle with continuous refresh on
// the simulated adapter (16 ms USB latency) and the real clock, in an offscreen event loop,
// with the analogue panel closed or open.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QDir>

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "analogue_panel.h"
#include "bench_support.h"
#include "main_window.h"

namespace {

using qe::bench::nowSeconds;
using qe::bench::ProcessUsage;
using qe::bench::runEventLoopFor;
using qe::bench::Tool;

constexpr double kPollPauseMs = 50.0;
constexpr int kWarmUpMs = 1500;  // start-up reads every setting; not part of watching
constexpr int kWatchMs = 10000;
constexpr int kReplySamples = 20;
constexpr int kTickWarmUp = 200;  // start-up reads every setting over the first ticks

// Mean time of one ReadOutputRegisters exchange, in ms.
double meanReplyMs(qe::chip::Chip& device, int samples) {
    const double start = nowSeconds();
    for (int i = 0; i < samples; ++i) (void)device.readOutputs();
    return (nowSeconds() - start) * 1000.0 / samples;
}

std::int64_t readoutsBetween(const qe::sim::Transcript& transcript, std::uint8_t chipAddress,
                             std::int64_t fromNs, std::int64_t toNs) {
    const std::string readout = "readOutputs " + std::to_string(chipAddress);
    return std::count_if(
        transcript.events().begin(), transcript.events().end(), [&](const auto& event) {
            return event.kind == qe::sim::Transcript::Kind::Frame && event.text == readout &&
                   event.atNs >= fromNs && event.atNs < toNs;
        });
}

// The CPU the minimal loop below used, in percent of one core; 0 until it has run.
double minimalLoopCpuPercent = 0.0;

// The yardstick: a minimal loop on the same simulated adapter that reads the output registers
// and sleeps the designed 50 ms, nothing else: no window, no timer, no painting.
void BM_MinimalLoop(benchmark::State& state) {
    for (auto _ : state) {
        Tool tool(qe::sim::SimulationOptions{});
        tool.device.startUp();  // as the main window's start-up
        if (!tool.device.chipPowered()) {
            state.SkipWithError("the simulated adapter did not connect");
            return;
        }
        const double replyMs = meanReplyMs(tool.device, kReplySamples);
        const timespec pause{0, static_cast<long>(kPollPauseMs * 1e6)};
        std::int64_t readouts = 0;
        const double wallStart = nowSeconds();
        const ProcessUsage before = ProcessUsage::now();
        while (nowSeconds() - wallStart < kWatchMs / 1000.0) {
            if (tool.device.readOutputs().ok()) ++readouts;
            ::clock_nanosleep(CLOCK_MONOTONIC, 0, &pause, nullptr);
        }
        const ProcessUsage after = ProcessUsage::now();
        const double wall = nowSeconds() - wallStart;
        const double expected = 1000.0 / (kPollPauseMs + replyMs);
        minimalLoopCpuPercent = 100.0 * (after.cpuSeconds - before.cpuSeconds) / wall;
        state.counters["readouts_per_s"] = static_cast<double>(readouts) / wall;
        state.counters["expected_per_s"] = expected;
        state.counters["readouts_percent"] =
            100.0 * static_cast<double>(readouts) / wall / expected;
        state.counters["cpu_percent"] = minimalLoopCpuPercent;
        state.counters["wakeups_per_s"] =
            static_cast<double>(after.contextSwitches - before.contextSwitches) / wall;
    }
}
BENCHMARK(BM_MinimalLoop)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// latency:1 has the adapter's 16 ms latency, the tool's figures; latency:0 answers at once and
// shows what the tick itself costs. panel:1 opens the analogue panel ("Show Display"), whose
// needle then turns with the simulated magnet. looks:1 awaits replies by looking at the queue
// every 0.2 ms, as drivers without arrival events do, for comparison.
void BM_ContinuousRefresh(benchmark::State& state) {
    for (auto _ : state) {
        Tool tool(qe::sim::SimulationOptions{.instantReplies = state.range(0) == 0},
                  state.range(2) != 0);
        qe::ui::MainWindow window(tool.device, tool.screenSaver);
        std::unique_ptr<qe::ui::AnaloguePanel> panel;
        if (state.range(1) != 0) {
            panel = std::make_unique<qe::ui::AnaloguePanel>(window, tool.device, tool.sink);
            window.setAnaloguePanel(panel.get());
        }
        window.startPolling();
        window.show();
        // Shown as by "Show Display"; the poll cycle then keeps the box checked.
        if (panel) panel->setPanelVisible(true);
        runEventLoopFor(kWarmUpMs);

        // The cycle is held while the reply time is measured: the loop is not running.
        const double replyMs = meanReplyMs(tool.device, kReplySamples);

        const std::int64_t fromNs = tool.clock.nowNs();
        const double wallStart = nowSeconds();
        const ProcessUsage before = ProcessUsage::now();
        runEventLoopFor(kWatchMs);
        const ProcessUsage after = ProcessUsage::now();
        const double wall = nowSeconds() - wallStart;
        const std::int64_t toNs = tool.clock.nowNs();

        const auto readouts = static_cast<double>(readoutsBetween(
            tool.simulation->transcript(), tool.device.chipAddress(), fromNs, toNs));
        const double expected = 1000.0 / (kPollPauseMs + replyMs);
        state.counters["readouts_per_s"] = readouts / wall;
        state.counters["expected_per_s"] = expected;
        state.counters["readouts_percent"] = 100.0 * readouts / wall / expected;
        state.counters["reply_ms"] = replyMs;
        const double cpuPercent = 100.0 * (after.cpuSeconds - before.cpuSeconds) / wall;
        state.counters["cpu_percent"] = cpuPercent;
        // Against the minimal loop, when it ran in the same program before.
        if (minimalLoopCpuPercent > 0.0)
            state.counters["cpu_times_loop"] = cpuPercent / minimalLoopCpuPercent;
        state.counters["wakeups_per_s"] =
            static_cast<double>(after.contextSwitches - before.contextSwitches) / wall;
        state.counters["panel_shown"] = panel && panel->isPanelVisible() ? 1 : 0;
        state.counters["message_boxes"] = tool.sink.shown;
        window.close();
    }
}
BENCHMARK(BM_ContinuousRefresh)
    ->ArgNames({"latency", "panel", "looks"})
    ->Args({1, 0, 0})
    ->Args({1, 1, 0})
    ->Args({1, 0, 1})
    ->Args({1, 1, 1})
    ->Args({0, 0, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// What one tick costs the window itself, without the waits around it: the poll cycle stepped
// on a manual clock 50 ms at a time with instant replies, and the paint it asks for, so that
// the magnet moves by about a readout's step each tick. Steadier than the runs above, whose
// few hundred ms of CPU over 10 s move by a third from run to run; the exchange is in it,
// the event loop's own wake-ups are not.
void BM_ReadoutTick(benchmark::State& state) {
    qe::ManualClock clock(1'000'000'000);
    Tool tool(clock, qe::sim::SimulationOptions{.instantReplies = true});
    qe::chip::Chip& device = tool.device;
    qe::ui::MainWindow window(device, tool.screenSaver);
    std::unique_ptr<qe::ui::AnaloguePanel> panel;
    if (state.range(0) != 0) {
        panel = std::make_unique<qe::ui::AnaloguePanel>(window, device, tool.sink);
        window.setAnaloguePanel(panel.get());
    }
    window.show();
    if (panel) panel->setPanelVisible(true);
    const auto tick = [&] {
        clock.advanceMs(static_cast<std::int64_t>(kPollPauseMs));
        window.Timer1Timer();
        QCoreApplication::processEvents();
    };
    for (int i = 0; i < kTickWarmUp; ++i) tick();
    if (!device.chipPowered()) {
        state.SkipWithError("the simulated adapter did not connect");
        return;
    }

    const ProcessUsage before = ProcessUsage::now();
    for (auto _ : state) tick();
    const ProcessUsage after = ProcessUsage::now();
    state.counters["cpu_us_per_tick"] = benchmark::Counter(
        (after.cpuSeconds - before.cpuSeconds) * 1e6, benchmark::Counter::kAvgIterations);
    state.counters["panel_shown"] = panel && panel->isPanelVisible() ? 1 : 0;
    state.counters["message_boxes"] = tool.sink.shown;
    window.close();
}
BENCHMARK(BM_ReadoutTick)
    ->ArgName("panel")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5000)
    ->Unit(benchmark::kMicrosecond);

// One ReadOutputRegisters exchange: with the adapter's latency (arg 1) and without (arg 0),
// which leaves the cost of the protocol code itself.
void BM_ReadOutputRegisters(benchmark::State& state) {
    Tool tool(qe::sim::SimulationOptions{.instantReplies = state.range(0) == 0});
    tool.device.startUp();  // as the main window's start-up
    if (!tool.device.adapterOpen() || !tool.device.chipPowered()) {
        state.SkipWithError("the simulated adapter did not connect");
        return;
    }
    std::int64_t failed = 0;
    const double cpuStart = ProcessUsage::now().cpuSeconds;
    for (auto _ : state)
        if (!tool.device.readOutputs().ok()) ++failed;
    const double cpu = ProcessUsage::now().cpuSeconds - cpuStart;
    state.counters["failed"] = static_cast<double>(failed);
    state.counters["cpu_ms_per_readout"] =
        benchmark::Counter(cpu * 1000.0, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ReadOutputRegisters)
    ->ArgName("latency")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // The panel finds its dial and needle images in the current directory.
    QDir::setCurrent(QStringLiteral(QE7204_ASSETS_DIR));
    return qe::bench::runBenchmarks(argc, argv);
}
