#pragma once

// What the benchmarks share: the simulated bench and the tool over it as main() wires them,
// and the process's own accounts of time and wake-ups.
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "benchmark_main.h"
#include "chip.h"
#include "clock.h"
#include "message_sink.h"
#include "register_map.h"
#include "screen_saver.h"
#include "simulation.h"

namespace qe::bench {

// A system clock whose waits the drivers take for a clock of their own: they then look at the
// receive queue every 0.2 ms as drivers without arrival events do.
class LookingClock final : public Clock {
public:
    std::int64_t nowNs() override { return clock_.nowNs(); }
    void sleepNs(std::int64_t ns) override { clock_.sleepNs(ns); }

private:
    SystemClock clock_;
};

// The simulated bench and the tool over it, wired as main() wires them, on the system clock;
// with `lookingWait` the replies are awaited by queue looks instead of the simulator's wait.
struct Tool {
    explicit Tool(const sim::SimulationOptions& options, bool lookingWait = false)
        : Tool(lookingWait ? static_cast<Clock*>(&lookingClock) : &systemClock, options) {}
    // On a clock of the caller's (a manual one).
    Tool(Clock& on, const sim::SimulationOptions& options) : Tool(&on, options) {}

    QTemporaryDir iniFolder;  // nothing remembered between runs

    SystemClock systemClock;
    LookingClock lookingClock;
    Clock& clock;
    std::unique_ptr<sim::SimulatedDriver> simulation;
    CountingSink sink;
    chip::Chip device;
    DesktopScreenSaver screenSaver;

private:
    Tool(Clock* on, const sim::SimulationOptions& options)
        : clock(*on),
          simulation(sim::makeDefaultSimulation(clock, options)),
          device(*simulation, clock, sink,
                 chip::AdapterPolicy::rememberedIn(
                     iniFolder.filePath(QStringLiteral("qe7204-tool.ini")).toStdString())) {}
};

inline double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What the process has used so far, all its threads counted (those ended too).
struct ProcessUsage {
    double cpuSeconds = 0.0;
    std::int64_t contextSwitches = 0;  // voluntary (the thread slept) and involuntary

    static ProcessUsage now() {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
        return {seconds(usage.ru_utime) + seconds(usage.ru_stime),
                static_cast<std::int64_t>(usage.ru_nvcsw + usage.ru_nivcsw)};
    }
};

inline void runEventLoopFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The value below which that share of the samples lie (nearest rank).
inline double percentile(std::vector<double> samples, double share) {
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    const auto rank =
        static_cast<std::size_t>(share * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(rank, samples.size() - 1)];
}

}  // namespace qe::bench
