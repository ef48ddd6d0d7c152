// A long run of the main window's real poll cycle against the simulated adapter with faults
// sprinkled in: the cable pulled and put back, replies lost, late, short or with surplus
// bytes, and now and then a setting changed by read-modify-write. It reports how much the
// process grew and whether the chip was ever written a word it did not hold.
#include <benchmark/benchmark.h>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "benchmark_main.h"
#include "chip.h"
#include "clock.h"
#include "main_window.h"
#include "message_sink.h"
#include "register_map.h"
#include "screen_saver.h"
#include "simulation.h"

namespace {

constexpr std::int64_t kTickMs = 50;  // the poll period, on the manual clock
constexpr std::int64_t kWarmUpTicks = 10'000;

class NoScreenSaver final : public qe::ScreenSaver {
public:
    bool isRunning() override { return false; }
    void wakeUp() override {}
};

double residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024.0;
}

// What happens on a tick besides the poll, drawn from a fixed seed so runs compare.
class Faults {
public:
    explicit Faults(qe::sim::SimulatedAdapter& adapter) : adapter_(adapter) {}

    void beforeTick() {
        if (unpluggedFor_ > 0) {
            if (--unpluggedFor_ == 0) adapter_.replug();
            return;
        }
        const unsigned roll = random_() % 20'000;
        if (roll < 2) {
            adapter_.unplug();
            unpluggedFor_ = 5 + random_() % 60;
            ++count;
        } else if (roll < 40) {
            adapter_.loseNextReply();
            ++count;
        } else if (roll < 80) {
            adapter_.delayNextReply(21 + random_() % 200);  // past every short wait
            ++count;
        } else if (roll < 100) {
            adapter_.shortenNextReply(1 + random_() % 3);
            ++count;
        } else if (roll < 120) {
            adapter_.addSurplusBytes(1 + random_() % 4, static_cast<std::uint8_t>(random_()));
            ++count;
        }
    }

    std::int64_t count = 0;

private:
    qe::sim::SimulatedAdapter& adapter_;
    std::mt19937 random_{7204};
    unsigned unpluggedFor_ = 0;
};

void BM_PollSoak(benchmark::State& state) {
    const std::int64_t ticks = state.range(0);
    for (auto _ : state) {
        qe::ManualClock clock(1'000'000'000);
        std::unique_ptr<qe::sim::SimulatedDriver> simulation = qe::sim::makeDefaultSimulation(
            clock, qe::sim::SimulationOptions{.revolutionsPerSecond = 3.0, .instantReplies = true});
        qe::sim::SimulatedAdapter& adapter = simulation->adapter();
        qe::sim::Qe7204Chip& chip = adapter.bus().chip(0);
        // The settings changes below set the tacho range; every other bit must come back.
        const qe::chip::Field changed = qe::chip::fields::Sth;
        chip.watchWrites(changed.word, changed.mask());

        QTemporaryDir iniFolder;
        qe::bench::CountingSink sink;
        qe::chip::Chip device(
            *simulation, clock, sink,
            qe::chip::AdapterPolicy::rememberedIn(
                iniFolder.filePath(QStringLiteral("qe7204-tool.ini")).toStdString()));
        NoScreenSaver screenSaver;
        qe::ui::MainWindow window(device, screenSaver);
        Faults faults(adapter);

        double startKiB = 0;
        std::int64_t poweredTicks = 0;
        std::int64_t powerOns = 0;
        std::int64_t settingChanges = 0;
        std::int64_t changesMade = 0;
        for (std::int64_t tick = 0; tick < ticks; ++tick) {
            if (tick == kWarmUpTicks) startKiB = residentKiB();
            clock.advanceMs(kTickMs);
            faults.beforeTick();
            window.Timer1Timer();
            // As a user would after putting the cable back: switch the chip on again.
            if (device.adapterOpen() && !device.chipPowered()) {
                ++powerOns;
                window.BtnONClick();
            }
            if (device.chipPowered()) ++poweredTicks;
            if (tick % 500 == 250 && device.adapterOpen() && device.chipPowered()) {
                ++settingChanges;
                const int item = static_cast<int>(tick / 500 % 8);
                if (device.changeSetting("Sth", item).ok()) ++changesMade;
            }
        }
        state.counters["ticks"] = static_cast<double>(ticks);
        state.counters["rss_growth_kib"] = residentKiB() - startKiB;
        state.counters["stale_word_writes"] = static_cast<double>(chip.staleWrites());
        state.counters["faults"] = static_cast<double>(faults.count);
        state.counters["powered_ticks"] = static_cast<double>(poweredTicks);
        state.counters["power_ons"] = static_cast<double>(powerOns);
        state.counters["setting_changes"] = static_cast<double>(settingChanges);
        state.counters["changes_made"] = static_cast<double>(changesMade);
        state.counters["message_boxes"] = static_cast<double>(sink.shown);
        window.close();
    }
}
BENCHMARK(BM_PollSoak)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return qe::bench::runBenchmarks(argc, argv);
}
