// Capture mode against the simulated adapter with the wire and the latency timer modelled (44 us
// a byte each way, one after the other; short replies when the timer set next runs out), side
// by side with a minimal loop of raw driver writes and reads on the same emulation:
// - one request in flight at a 2 ms timer: the tool's readouts a second against the loop's;
// - N in flight: against the link's limit, 10 bytes of 44 us an exchange (about 2,270 a second);
// - `qe7204ctl watch --rate max` to a CSV file, run as the program it is: its share of a core.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "capture_session.h"
#include "chip.h"
#include "clock.h"
#include "readout_loop.h"
#include "simulation.h"

extern char** environ;

namespace {

using namespace qe;

constexpr double kLinkLimitPerSecond = 1e9 / (10 * 44'000.0);
constexpr long long kReadouts = 3000;

class NoBoxes final : public MessageSink {
public:
    void show(MessageKind, const std::string&) override {}
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The minimal loop: the adapter opened and set up by hand, then output requests written and
// their 8-byte replies read, `inFlight` on the line; readouts a second.
double minimalLoopRate(std::uint8_t latencyMs, int inFlight) {
    SystemClock clock;
    auto driver = sim::makeDefaultSimulation(clock, {.revolutionsPerSecond = 1.0});
    FtHandle handle = 0;
    char serial[] = "QE000001";
    driver->openEx(serial, kOpenBySerialNumber, handle);
    // As the capture does: an adapter that refuses 1 ms gets 2.
    if (driver->setLatencyTimer(handle, latencyMs) != FT_OK)
        driver->setLatencyTimer(handle, AdapterLink::kCaptureLatencyMs);
    driver->setDataCharacteristics(handle, 8, 2, 0);
    driver->setBaudRate(handle, 250'000);
    driver->setTimeouts(handle, 2000, 2000);
    std::uint32_t done = 0;
    const std::uint8_t supplyOn[] = {'Z', 3, 255};
    driver->write(handle, supplyOn, 3, done);
    const std::uint8_t request[] = {'V', 0};
    std::uint8_t reply[8];
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < inFlight; ++i) driver->write(handle, request, 2, done);
    for (long long n = 0; n < kReadouts; ++n) {
        driver->read(handle, reply, 8, done);
        if (n + inFlight < kReadouts) driver->write(handle, request, 2, done);
    }
    return static_cast<double>(kReadouts) / secondsSince(start);
}

// The tool: the chip opened as qe7204ctl opens it, then a capture through the readout loop.
double captureRate(std::uint8_t latencyMs, std::size_t inFlight) {
    SystemClock clock;
    auto driver = sim::makeDefaultSimulation(clock, {.revolutionsPerSecond = 1.0});
    NoBoxes boxes;
    chip::Chip device(*driver, clock, boxes, {});
    device.setReplyTimeoutMs(AdapterLink::kLoadedBusReplyTimeoutMs);
    if (!device.openAdapter().ok()) return 0;
    [[maybe_unused]] const chip::ScanResult scanned = device.powerOn();
    if (!device.refreshSettings().ok()) return 0;
    device.deriveFromMirror();
    chip::CaptureSession capture(device, {.latencyMs = latencyMs, .inFlight = inFlight});
    chip::ReadoutPace pace;
    pace.intervalNs = 0;
    pace.count = kReadouts;
    const auto start = std::chrono::steady_clock::now();
    device.readouts().run(pace, {});
    return static_cast<double>(pace.readouts) / secondsSince(start);
}

void BM_OneInFlight(benchmark::State& state) {
    const auto latencyMs = static_cast<std::uint8_t>(state.range(0));
    for (auto _ : state) {
        const double loop = minimalLoopRate(latencyMs, 1);
        const double tool = captureRate(latencyMs, 1);
        state.counters["minimal_loop_per_s"] = loop;
        state.counters["capture_per_s"] = tool;
        state.counters["ratio_to_loop"] = tool / loop;
    }
}
BENCHMARK(BM_OneInFlight)
    ->Arg(2)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_FramesInFlight(benchmark::State& state) {
    const auto inFlight = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const double loop = minimalLoopRate(AdapterLink::kCaptureLatencyMs, inFlight);
        const double tool = captureRate(AdapterLink::kCaptureLatencyMs, inFlight);
        state.counters["minimal_loop_per_s"] = loop;
        state.counters["capture_per_s"] = tool;
        state.counters["ratio_to_loop"] = tool / loop;
        state.counters["ratio_to_link_limit"] = tool / kLinkLimitPerSecond;
    }
}
BENCHMARK(BM_FramesInFlight)
    ->Arg(4)
    ->Arg(8)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// qe7204ctl --simulate watch --rate max [--in-flight N] --count 3000 --csv FILE, as a child;
// its CPU time over its wall time.
void BM_WatchToCsvCpu(benchmark::State& state) {
    const std::string inFlight = std::to_string(state.range(0));
    const std::filesystem::path csv = std::filesystem::temp_directory_path() /
                                      ("capture_bench_" + std::to_string(::getpid()) + ".csv");
    for (auto _ : state) {
        std::vector<std::string> args = {QE7204CTL, "--simulate", "watch",
                                         "--rate",  "max",        "--in-flight",
                                         inFlight,  "--count",    std::to_string(kReadouts),
                                         "--csv",   csv.string(), "--force"};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        const auto start = std::chrono::steady_clock::now();
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        const int spawned = ::posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&quiet);
        if (spawned != 0) {
            state.SkipWithError("qe7204ctl did not start");
            return;
        }
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        const double wall = secondsSince(start);
        const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
        const double cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("qe7204ctl watch failed");
            return;
        }
        state.counters["wall_s"] = wall;
        state.counters["cpu_s"] = cpu;
        state.counters["core_share"] = cpu / wall;
        state.counters["readouts_per_s"] = static_cast<double>(kReadouts) / wall;
    }
    std::filesystem::remove(csv);
}
BENCHMARK(BM_WatchToCsvCpu)
    ->Arg(1)
    ->Arg(8)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
