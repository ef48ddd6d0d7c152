// What turning the analogue panel's needle costs: the real panel, offscreen, its position
// needle moved by one readout's step and the view's repaint done, sample by sample. The
// process's CPU time is counted (Qt may draw on its thread pool), and the wall time.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QDir>

#include <ctime>
#include <vector>

#include "analogue_panel.h"
#include "bench_support.h"
#include "image_view.h"
#include "main_window.h"

namespace {

using qe::bench::percentile;
using qe::bench::Tool;

constexpr int kSamples = 1000;
// About what a turning magnet moves the needle from one readout to the next.
constexpr double kTurnPerReadout = 1.0 / 97.0;
constexpr int kViewWidth = 650;
constexpr int kViewHeight = 654;
constexpr int kPanelBarHeight = 20;  // the radio buttons under the view

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double wallMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// size:1 is the panel as designed (view 650 x 654), size:2 twice as wide and high.
void BM_NeedleRepaint(benchmark::State& state) {
    const int factor = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Tool tool(qe::sim::SimulationOptions{.instantReplies = true});
        qe::ui::MainWindow window(tool.device, tool.screenSaver);
        qe::ui::AnaloguePanel panel(window, tool.device, tool.sink);
        panel.resize(kViewWidth * factor, kViewHeight * factor + kPanelBarHeight);
        panel.show();
        QApplication::processEvents();
        if (panel.imgView().size() != QSize(kViewWidth * factor, kViewHeight * factor)) {
            state.SkipWithError("the view did not get the size asked for");
            return;
        }

        std::vector<double> cpu;
        std::vector<double> wall;
        cpu.reserve(kSamples);
        wall.reserve(kSamples);
        double fraction = 0.0;
        const qe::bench::ProcessUsage before = qe::bench::ProcessUsage::now();
        for (int i = 0; i < kSamples; ++i) {
            fraction += kTurnPerReadout;
            if (fraction >= 1.0) fraction -= 1.0;
            const double cpuStart = processCpuMs();
            const double wallStart = wallMs();
            panel.UpdateNeedles(fraction, 0.0);
            QApplication::processEvents();  // the repaint the move asked for
            wall.push_back(wallMs() - wallStart);
            cpu.push_back(processCpuMs() - cpuStart);
        }
        const qe::bench::ProcessUsage after = qe::bench::ProcessUsage::now();
        // Threads of Qt's pool that help draw wake up too.
        state.counters["wakeups_per_step"] =
            static_cast<double>(after.contextSwitches - before.contextSwitches) / kSamples;
        state.counters["cpu_median_ms"] = percentile(cpu, 0.5);
        state.counters["cpu_p90_ms"] = percentile(cpu, 0.9);
        state.counters["wall_median_ms"] = percentile(wall, 0.5);
        state.counters["wall_p90_ms"] = percentile(wall, 0.9);
    }
}
BENCHMARK(BM_NeedleRepaint)
    ->ArgName("size")
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // The panel finds its dial and needle images in the current directory.
    QDir::setCurrent(QStringLiteral(QE7204_ASSETS_DIR));
    // Room for the panel at twice its designed size, frame and all.
    return qe::bench::runBenchmarks(argc, argv, QSize(2560, 1600));
}
