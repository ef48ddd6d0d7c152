// What watching costs over a real operating-system backend: the adapter's firmware served on a
// pseudo-terminal and reached through the kernel-serial driver, as an adapter on /dev/ttyUSBn
// is. Every exchange pays its system calls and the serving thread's wake-ups, as with an
// adapter; the minimal loop and the window pay the same, so their ratio is the window's own
// cost. The pseudo-terminal answers without a latency timer.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>

#include "analogue_panel.h"
#include "bench_support.h"
#include "fake_tty_tree.h"
#include "main_window.h"
#include "pty_adapter.h"
#include "tty_driver.h"

namespace {

using qe::bench::nowSeconds;
using qe::bench::ProcessUsage;
using qe::bench::runEventLoopFor;

constexpr int kPollPauseMs = 50;
constexpr int kWarmUpMs = 1500;  // start-up reads every setting; not part of watching
constexpr int kWatchMs = 10000;

// The adapter on its pseudo-terminal, its port in a sysfs tree of its own, and the tool on it.
struct TtyBench {
    TtyBench()
        : adapter({.revolutionsPerSecond = 0.5}),
          tree(std::filesystem::path(folder.path().toStdString()) / "tree"),
          driver(addPort(), [](const std::string&) {}),
          device(driver, clock, sink,
                 qe::chip::AdapterPolicy::rememberedIn(
                     folder.filePath(QStringLiteral("qe7204-tool.ini")).toStdString())) {}

    qe::TtyRoots addPort() {
        tree.addPort(
            {.name = "ttyUSB" + std::to_string(::getpid()), .terminal = adapter.terminalPath()});
        return tree.roots();
    }

    std::int64_t readoutFrames() const {
        const auto frames = adapter.frames();
        return std::count_if(frames.begin(), frames.end(), [](const std::string& frame) {
            return frame.rfind("readOutputs", 0) == 0;
        });
    }

    QTemporaryDir folder;
    qe::sim::PtyAdapter adapter;
    qe::sim::FakeTtyTree tree;
    qe::TtyDriver driver;
    qe::SystemClock clock;
    qe::bench::CountingSink sink;
    qe::chip::Chip device;
    qe::DesktopScreenSaver screenSaver;
};

double minimalLoopCpuPercent = 0.0;

// The yardstick: read the output registers and sleep the designed 50 ms, nothing else.
void BM_TtyMinimalLoop(benchmark::State& state) {
    for (auto _ : state) {
        TtyBench bench;
        bench.device.startUp();
        if (!bench.device.chipPowered()) {
            state.SkipWithError("the adapter on the pseudo-terminal did not connect");
            return;
        }
        const timespec pause{0, kPollPauseMs * 1'000'000L};
        std::int64_t readouts = 0;
        const double wallStart = nowSeconds();
        const ProcessUsage before = ProcessUsage::now();
        while (nowSeconds() - wallStart < kWatchMs / 1000.0) {
            if (bench.device.readOutputs().ok()) ++readouts;
            ::clock_nanosleep(CLOCK_MONOTONIC, 0, &pause, nullptr);
        }
        const ProcessUsage after = ProcessUsage::now();
        const double wall = nowSeconds() - wallStart;
        minimalLoopCpuPercent = 100.0 * (after.cpuSeconds - before.cpuSeconds) / wall;
        state.counters["readouts_per_s"] = static_cast<double>(readouts) / wall;
        state.counters["cpu_percent"] = minimalLoopCpuPercent;
    }
}
BENCHMARK(BM_TtyMinimalLoop)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// panel:1 opens the analogue panel, whose needle turns with the magnet.
void BM_TtyContinuousRefresh(benchmark::State& state) {
    for (auto _ : state) {
        TtyBench bench;
        qe::ui::MainWindow window(bench.device, bench.screenSaver);
        std::unique_ptr<qe::ui::AnaloguePanel> panel;
        if (state.range(0) != 0) {
            panel = std::make_unique<qe::ui::AnaloguePanel>(window, bench.device, bench.sink);
            window.setAnaloguePanel(panel.get());
        }
        window.startPolling();
        window.show();
        if (panel) panel->setPanelVisible(true);
        runEventLoopFor(kWarmUpMs);

        const std::int64_t framesBefore = bench.readoutFrames();
        const double wallStart = nowSeconds();
        const ProcessUsage before = ProcessUsage::now();
        runEventLoopFor(kWatchMs);
        const ProcessUsage after = ProcessUsage::now();
        const double wall = nowSeconds() - wallStart;

        const double cpuPercent = 100.0 * (after.cpuSeconds - before.cpuSeconds) / wall;
        state.counters["readouts_per_s"] =
            static_cast<double>(bench.readoutFrames() - framesBefore) / wall;
        state.counters["cpu_percent"] = cpuPercent;
        if (minimalLoopCpuPercent > 0.0)
            state.counters["cpu_times_loop"] = cpuPercent / minimalLoopCpuPercent;
        state.counters["panel_shown"] = panel && panel->isPanelVisible() ? 1 : 0;
        state.counters["message_boxes"] = bench.sink.shown;
        window.close();
    }
}
BENCHMARK(BM_TtyContinuousRefresh)
    ->ArgName("panel")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // The panel finds its dial and needle images in the current directory.
    QDir::setCurrent(QStringLiteral(QE7204_ASSETS_DIR));
    return qe::bench::runBenchmarks(argc, argv);
}
