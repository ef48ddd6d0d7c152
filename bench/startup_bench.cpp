// What starting the tool costs: the real program on the simulated adapter, run as a child
// process from a fresh start, until its first paint and for two seconds of watching. The
// first paint is told by Qt's minimal platform, which writes a line for every flush of a
// window when QT_DEBUG_BACKINGSTORE is set; the peak resident memory is the child's own
// account (offscreen platform, as the tests use).
#include <benchmark/benchmark.h>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "bench_support.h"

extern char** environ;

namespace {

using qe::bench::nowSeconds;
using qe::bench::percentile;

constexpr double kFirstPaintBoundSeconds = 30.0;
constexpr int kWatchMs = 2000;
constexpr int kRuns = 5;

// The tool started with its standard error in a pipe, in a folder of its own (it keeps its
// settings beside itself or in the configuration folder, which points there too).
class ToolProcess {
public:
    ToolProcess(const QTemporaryDir& folder, const std::vector<std::string>& extraEnvironment) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return;
        errRead_ = ends[0];
        std::vector<std::string> environment(extraEnvironment);
        environment.push_back("XDG_CONFIG_HOME=" + folder.path().toStdString());
        for (char** variable = environ; *variable; ++variable) {
            const std::string text(*variable);
            if (!text.starts_with("QT_QPA_PLATFORM=") && !text.starts_with("XDG_CONFIG_HOME="))
                environment.push_back(text);
        }
        std::vector<char*> envp;
        for (std::string& text : environment) envp.push_back(text.data());
        envp.push_back(nullptr);
        std::string program = QE7204_TOOL;
        std::string simulate = "--simulate";
        char* argv[] = {program.data(), simulate.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
        posix_spawn_file_actions_addchdir_np(&actions, folder.path().toLocal8Bit().constData());
        started_ = nowSeconds();
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
    }
    ~ToolProcess() {
        if (pid_ > 0) end();
        if (errRead_ >= 0) ::close(errRead_);
    }

    bool started() const { return pid_ > 0; }

    // Seconds from the start until a line of standard error holds `text`, or nothing.
    std::optional<double> secondsUntil(const std::string& text, double boundSeconds) {
        std::string seen;
        char buffer[4096];
        pollfd ready{errRead_, POLLIN, 0};
        while (nowSeconds() - started_ < boundSeconds) {
            if (::poll(&ready, 1, 10) <= 0) continue;
            const ssize_t n = ::read(errRead_, buffer, sizeof buffer);
            if (n <= 0) return std::nullopt;
            seen.append(buffer, static_cast<std::size_t>(n));
            if (seen.find(text) != std::string::npos) return nowSeconds() - started_;
        }
        return std::nullopt;
    }

    // Ends it; its peak resident memory in MB.
    double end() {
        ::kill(pid_, SIGKILL);
        int status = 0;
        rusage usage{};
        ::wait4(pid_, &status, 0, &usage);
        pid_ = -1;
        return static_cast<double>(usage.ru_maxrss) / 1024.0;
    }

private:
    pid_t pid_ = -1;
    int errRead_ = -1;
    double started_ = 0.0;
};

void BM_StartUp(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<double> firstPaint;
        std::vector<double> peakMb;
        for (int run = 0; run < kRuns; ++run) {
            const QTemporaryDir paintFolder;
            ToolProcess painting(
                paintFolder, {"QT_QPA_PLATFORM=minimal:enable_fonts", "QT_DEBUG_BACKINGSTORE=1"});
            const std::optional<double> painted =
                painting.started()
                    ? painting.secondsUntil("QMinimalBackingStore::flush", kFirstPaintBoundSeconds)
                    : std::nullopt;
            if (!painted) {
                state.SkipWithError("the tool did not paint");
                return;
            }
            firstPaint.push_back(*painted);

            const QTemporaryDir watchFolder;
            ToolProcess watching(watchFolder, {"QT_QPA_PLATFORM=offscreen"});
            qe::bench::runEventLoopFor(kWatchMs);
            peakMb.push_back(watching.end());
        }
        state.counters["first_paint_median_s"] = percentile(firstPaint, 0.5);
        state.counters["first_paint_max_s"] = percentile(firstPaint, 1.0);
        state.counters["peak_resident_median_mb"] = percentile(peakMb, 0.5);
        state.counters["peak_resident_max_mb"] = percentile(peakMb, 1.0);
    }
}
BENCHMARK(BM_StartUp)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return qe::bench::runBenchmarks(argc, argv);
}
