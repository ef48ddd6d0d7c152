// What telling a held serial port costs: the window lists the adapters once a second, and
// every port it does not hold itself is looked at, down to every descriptor under /proc of the
// processes this user may see. The figure grows with the processes on the machine; the
// counters say how many there were.
#include <benchmark/benchmark.h>

#include <dirent.h>

#include <filesystem>
#include <string>

#include "port_in_use.h"
#include "pty_adapter.h"

namespace {

// Processes and descriptors that the look goes through.
void countProcesses(double& processes, double& descriptors) {
    processes = descriptors = 0;
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        ++processes;
        std::error_code fdError;
        for (fs::directory_iterator fd(it->path() / "fd", fdError), fdEnd; !fdError && fd != fdEnd;
             fd.increment(fdError))
            ++descriptors;
    }
}

// A free port: no lock file, no lock, open nowhere else, so every look is made.
void BM_FreePortLookedAt(benchmark::State& state) {
    qe::sim::PtyAdapter adapter;
    const std::filesystem::path node = adapter.terminalPath();
    for (auto _ : state) benchmark::DoNotOptimize(qe::portHeldElsewhere(node));
    double processes = 0;
    double descriptors = 0;
    countProcesses(processes, descriptors);
    state.counters["processes"] = processes;
    state.counters["descriptors"] = descriptors;
}
BENCHMARK(BM_FreePortLookedAt)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
