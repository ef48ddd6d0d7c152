// What watching the chip costs: the main window's real poll cycle with continuous refresh on
// the simulated adapter (16 ms USB latency) and the real clock, in an offscreen event loop.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "adapter_link.h"
#include "chip_connection.h"
#include "chip_session.h"
#include "clock.h"
#include "main_window.h"
#include "message_sink.h"
#include "microsecond_delay.h"
#include "register_map.h"
#include "screen_saver.h"
#include "simulation.h"

namespace {

constexpr double kPollPauseMs = 50.0;
constexpr int kWarmUpMs = 1500;  // start-up reads every setting; not part of watching
constexpr int kWatchMs = 5000;
constexpr int kReplySamples = 20;

// Counts boxes instead of showing them: a modal box would stop the loop being measured.
class CountingSink final : public qe::MessageSink {
public:
    void show(qe::MessageKind, const std::string&) override { ++shown; }
    int shown = 0;
};

double processCpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void runEventLoopFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The simulated desk and the tool over it, wired as main() wires them.
struct Tool {
    explicit Tool(const qe::sim::SimulationOptions& options)
        : simulation(qe::sim::makeDefaultSimulation(clock, options)),
          link(*simulation, clock, sink, image),
          connection(link, session,
                     iniFolder.filePath(QStringLiteral("qe7204-tool.ini")).toStdString()) {}

    QTemporaryDir iniFolder;  // nothing remembered between runs

    qe::SystemClock clock;
    std::unique_ptr<qe::sim::SimulatedDriver> simulation;
    CountingSink sink;
    qe::RegisterImage image{};
    qe::AdapterLink link;
    qe::chip::ChipSession session{link};
    qe::chip::ChipConnection connection;
    qe::MicrosecondDelay delay{clock};
    qe::DesktopScreenSaver screenSaver;
};

// Mean time of one ReadOutputRegisters exchange, in ms.
double meanReplyMs(qe::chip::ChipSession& session, int samples) {
    const double start = nowSeconds();
    for (int i = 0; i < samples; ++i) (void)session.readOutputs();
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

// With the adapter's latency (arg 1) the figures are the tool's; without it (arg 0) they
// show what the tick itself costs, apart from waiting for replies.
void BM_ContinuousRefresh(benchmark::State& state) {
    for (auto _ : state) {
        Tool tool(qe::sim::SimulationOptions{.instantReplies = state.range(0) == 0});
        qe::ui::MainWindow window(tool.session, tool.connection, tool.delay, tool.screenSaver);
        window.startPolling();
        window.show();
        runEventLoopFor(kWarmUpMs);

        // The cycle is held while the reply time is measured: the loop is not running.
        const double replyMs = meanReplyMs(tool.session, kReplySamples);

        const std::int64_t fromNs = tool.clock.nowNs();
        const double wallStart = nowSeconds();
        const double cpuStart = processCpuSeconds();
        runEventLoopFor(kWatchMs);
        const double cpu = processCpuSeconds() - cpuStart;
        const double wall = nowSeconds() - wallStart;
        const std::int64_t toNs = tool.clock.nowNs();

        const auto readouts = static_cast<double>(readoutsBetween(
            tool.simulation->transcript(), tool.session.chipAddress(), fromNs, toNs));
        state.counters["readouts_per_s"] = readouts / wall;
        state.counters["expected_per_s"] = 1000.0 / (kPollPauseMs + replyMs);
        state.counters["reply_ms"] = replyMs;
        state.counters["cpu_percent"] = 100.0 * cpu / wall;
        state.counters["message_boxes"] = tool.sink.shown;
        window.close();
    }
}
BENCHMARK(BM_ContinuousRefresh)
    ->ArgName("latency")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One ReadOutputRegisters exchange: with the adapter's latency (arg 1) and without (arg 0),
// which leaves the cost of the protocol code itself.
void BM_ReadOutputRegisters(benchmark::State& state) {
    Tool tool(qe::sim::SimulationOptions{.instantReplies = state.range(0) == 0});
    tool.connection.startUp();  // as the main window's start-up
    if (tool.link.adapterHandle() == 0 || !tool.link.chipPowered()) {
        state.SkipWithError("the simulated adapter did not connect");
        return;
    }
    std::int64_t failed = 0;
    const double cpuStart = processCpuSeconds();
    for (auto _ : state)
        if (!tool.session.readOutputs().ok()) ++failed;
    const double cpu = processCpuSeconds() - cpuStart;
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
