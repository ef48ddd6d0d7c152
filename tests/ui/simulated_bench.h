#pragma once

// The tool as main() wires it, over the simulated adapter with instant replies and on a
// manual clock: for tests that compare what the adapter sees with a window of ours open and
// without it.
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chip.h"
#include "clock.h"
#include "main_window.h"
#include "recording_sink.h"
#include "screen_saver.h"
#include "simulation.h"

namespace qe::ui::test {

inline constexpr std::int64_t kNsPerMs = 1'000'000;

class FakeScreenSaver final : public ScreenSaver {
public:
    bool isRunning() override { return running; }
    void wakeUp() override { ++wakeUps; }

    bool running = false;
    int wakeUps = 0;
};

struct SimulatedBench {
    explicit SimulatedBench(const sim::SimulationOptions& options)
        : simulation(sim::makeDefaultSimulation(clock, options)),
          device(*simulation, clock, boxes,
                 chip::AdapterPolicy::rememberedIn(
                     iniDir.filePath(QStringLiteral("qe7204-tool.ini")).toStdString())),
          window(device, screenSaver) {}

    // One poll tick, `ms` after the one before.
    void tick(std::int64_t ms) {
        clock.advanceMs(ms);
        window.Timer1Timer();
    }
    std::vector<std::string> driverTexts() const { return simulation->transcript().texts(); }

    ManualClock clock{100'000 * kNsPerMs};
    std::unique_ptr<sim::SimulatedDriver> simulation;
    qe::test::RecordingSink boxes;
    QTemporaryDir iniDir;  // nothing remembered between runs
    chip::Chip device;
    FakeScreenSaver screenSaver;
    MainWindow window;
};

}  // namespace qe::ui::test
