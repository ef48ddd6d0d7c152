// What the plot window adds to watching: readouts at the designed rate (15 a second) fed to
// a shown plot window that draws ten times a second, offscreen, with ten minutes of readouts
// behind it. Time is simulated; the CPU time is the process's own.
#include <benchmark/benchmark.h>
#include <QComboBox>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "bench_support.h"
#include "benchmark_main.h"
#include "clock.h"
#include "fast_capture.h"
#include "message_sink.h"
#include "plot_window.h"
#include "readout_sample.h"
#include "readout_stream.h"

namespace {

constexpr int kReadoutsPerSecond = 15;  // 50 ms pause plus a 16.5 ms reply
constexpr double kTurnsPerSecond = 1.5;

double processCpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// A magnet turning at 1.5 turns a second, its speed and AGC wobbling a little.
qe::chip::ReadoutSample readoutAt(std::int64_t ms) {
    qe::RegisterImage image{};
    const auto counts = static_cast<std::int64_t>(ms * 4096 * kTurnsPerSecond / 1000);
    image[33] = static_cast<std::uint16_t>(counts % 4096);
    image[35] = static_cast<std::uint16_t>((45 + ms / 100 % 3) | (8 + ms / 700 % 2) << 12);
    qe::chip::DerivedValues derived;
    qe::chip::updateDerived(derived, qe::chip::Derived::TachoRange, 0);
    return qe::chip::makeReadoutSample(
        image, derived, ms * 1'000'000,
        qe::chip::WallTime{std::chrono::milliseconds(1'796'914'569'000 + ms)});
}

// One iteration is one drawing: the readouts that arrive until the window draws again, and
// the drawing. cpu_percent is the CPU time per simulated second, in percent of one core.
void BM_PlotWindowWatching(benchmark::State& state) {
    qe::chip::ReadoutStream stream;
    qe::ManualClock clock;
    qe::bench::CountingSink sink;
    qe::ui::PlotWindow plot(
        stream, clock, [] { return qe::chip::RecordingSource{}; }, sink);
    plot.resize(900, 720);
    plot.show();
    plot.findChild<QComboBox*>(QStringLiteral("PlotSpan"))
        ->setCurrentIndex(static_cast<int>(state.range(0)));

    const std::int64_t stepMs = 1000 / kReadoutsPerSecond;
    std::int64_t ms = 0;
    for (; ms < 600'000; ms += stepMs) stream.publish(readoutAt(ms));
    plot.refresh();
    QCoreApplication::processEvents();

    const double cpuStart = processCpuSeconds();
    for (auto _ : state) {
        const std::int64_t until = ms + plot.refreshMs();
        for (; ms < until; ms += stepMs) stream.publish(readoutAt(ms));
        plot.refresh();
        QCoreApplication::processEvents();  // the charts paint
    }
    const double cpu = processCpuSeconds() - cpuStart;
    const double simulatedSeconds =
        static_cast<double>(state.iterations()) * plot.refreshMs() / 1000.0;
    state.counters["cpu_percent"] = 100.0 * cpu / simulatedSeconds;
}
BENCHMARK(BM_PlotWindowWatching)
    ->ArgName("span")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

// What one readout costs the poll cycle with the plot listening: the sample made from the
// register mirror and handed to the window, which keeps it.
void BM_ReadoutToPlot(benchmark::State& state) {
    qe::chip::ReadoutStream stream;
    qe::ManualClock clock;
    qe::bench::CountingSink sink;
    qe::ui::PlotWindow plot(
        stream, clock, [] { return qe::chip::RecordingSource{}; }, sink);
    qe::RegisterImage image{};
    const qe::chip::DerivedValues derived;
    std::int64_t ns = 0;
    for (auto _ : state) {
        image[33] = static_cast<std::uint16_t>((ns / 1'000'000) % 4096);
        stream.publish(
            qe::chip::makeReadoutSample(image, derived, ns, std::chrono::system_clock::now()));
        ns += 66'000'000;
    }
}
BENCHMARK(BM_ReadoutToPlot)->Unit(benchmark::kNanosecond);

// Counts the readouts and times the event loop's stalls: a probe due every 5 ms is late by
// as long as a capture slice or a repaint kept the loop from it.
class LoopWatch final : public QObject, public qe::chip::ReadoutObserver {
public:
    LoopWatch() {
        probe_.setTimerType(Qt::PreciseTimer);
        probe_.setInterval(kProbeMs);
        QObject::connect(&probe_, &QTimer::timeout, this, [this] {
            const double now = qe::bench::nowSeconds();
            if (last_ > 0) worstStallMs = std::max(worstStallMs, (now - last_) * 1000 - kProbeMs);
            last_ = now;
        });
        probe_.start();
    }
    void readoutArrived(const qe::chip::ReadoutSample&) override { ++readouts; }

    long long readouts = 0;
    double worstStallMs = 0.0;

private:
    static constexpr int kProbeMs = 5;
    QTimer probe_;
    double last_ = 0.0;
};

// The Plot window shown while "Fast capture" reads the simulated adapter at a real adapter's
// pace on the system clock: slices of reads from the event loop, the charts drawn on their
// own timer. One iteration is half a second of it. max_stall_ms is the longest the event loop
// was kept from a 5 ms timer (what a click would wait), readouts_per_s what the plot got,
// cpu_percent the process's CPU time in percent of one core.
void BM_PlotWindowFastCapture(benchmark::State& state) {
    qe::bench::Tool tool({.revolutionsPerSecond = kTurnsPerSecond});
    qe::chip::Chip& device = tool.device;
    if (!device.openAdapter().ok()) {
        state.SkipWithError("the simulated adapter did not open");
        return;
    }
    [[maybe_unused]] const qe::chip::ScanResult scanned = device.powerOn();
    if (!device.refreshSettings().ok()) {
        state.SkipWithError("the chip's settings were not read");
        return;
    }
    device.deriveFromMirror();
    qe::ui::FastCapture capture(
        device, [](std::function<void()>) {}, [] {});
    qe::ui::PlotWindow plot(
        device.readouts().stream(), tool.clock, [] { return qe::chip::RecordingSource{}; },
        tool.sink);
    plot.offerFastCapture(capture);
    plot.resize(900, 720);
    plot.show();
    LoopWatch watch;
    const qe::chip::ReadoutListening listening(device.readouts().stream(), watch);
    if (!capture.start()) {
        state.SkipWithError(capture.note().toStdString().c_str());
        return;
    }
    constexpr int kIterationMs = 500;
    const qe::bench::ProcessUsage before = qe::bench::ProcessUsage::now();
    const double start = qe::bench::nowSeconds();
    for (auto _ : state) qe::bench::runEventLoopFor(kIterationMs);
    const double seconds = qe::bench::nowSeconds() - start;
    capture.stop();
    state.counters["readouts_per_s"] = static_cast<double>(watch.readouts) / seconds;
    state.counters["max_stall_ms"] = watch.worstStallMs;
    state.counters["cpu_percent"] =
        100.0 * (qe::bench::ProcessUsage::now().cpuSeconds - before.cpuSeconds) / seconds;
}
BENCHMARK(BM_PlotWindowFastCapture)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace

int main(int argc, char** argv) {
    return qe::bench::runBenchmarks(argc, argv);
}
