#pragma once

#include <gtest/gtest.h>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "adapter_link.h"
#include "adapter_link_access.h"
#include "analogue_panel_view.h"
#include "chip.h"
#include "chip_access.h"
#include "clock.h"
#include "main_window.h"
#include "recording_sink.h"
#include "register_map.h"
#include "screen_saver.h"
#include "scripted_driver.h"
#include "simulated_bench.h"
#include "simulation.h"
#include "version.h"

namespace qe::ui::test {

// Records what the main window asks of the analogue panel.
class FakePanel final : public AnaloguePanelView {
public:
    bool isPanelVisible() const override { return visible; }
    void setPanelVisible(bool show) override {
        visible = show;
        calls.push_back(show ? "show" : "hide");
    }
    void repaintPanel() override { calls.push_back("repaint"); }
    void UpdateNeedles(double position, double tacho) override {
        needles = {position, tacho};
        calls.push_back("needles");
    }
    bool showsTachoScale() const override { return false; }
    void SkalaJeTaho() override { calls.push_back("tacho scale"); }
    void LoadWindowLayout() override { calls.push_back("load layout"); }
    void SaveWindowLayout() override { calls.push_back("save layout"); }

    bool visible = false;
    std::vector<std::string> calls;
    std::pair<double, double> needles{-1.0, -1.0};
};

// Hands every box to the recording sink and then does what a modal box does while it is
// up, as far as the test asks: `whileUp` may look at the window or run the event loop.
class ModalBoxes final : public MessageSink {
public:
    explicit ModalBoxes(qe::test::RecordingSink& record) : record_(record) {}
    void show(MessageKind kind, const std::string& text) override {
        record_.show(kind, text);
        if (whileUp) whileUp();
    }

    std::function<void()> whileUp;

private:
    qe::test::RecordingSink& record_;
};

// Everything a main window needs, on a manual clock. Either the simulated adapter with its
// chips (startSimulated) or a scripted driver without devices whose adapter handle the test
// opens by hand and whose replies it queues (startScripted).
class MainWindowTest : public ::testing::Test {
protected:
    static constexpr std::int64_t kStartMs = 100'000;

    MainWindowTest() { clock.setNs(kStartMs * kNsPerMs); }
    // The window's shutdown may show boxes; what a test did in them refers to its own locals.
    ~MainWindowTest() override { boxes.whileUp = nullptr; }

    void startSimulated(int chips = 1) {
        simulation = sim::makeDefaultSimulation(
            clock, sim::SimulationOptions{
                       .chips = chips, .revolutionsPerSecond = 0.0, .instantReplies = true});
        start(*simulation);
    }

    void startScripted() {
        scripted = std::make_unique<qe::test::ScriptedDriver>(clock);
        start(*scripted);
        // An adapter that answers whatever the test queues.
        qe::test::AdapterLinkAccess::setAdapterHandle(*link, 0x1000);
        scripted->calls.clear();
    }

    void start(FtdiDriver& driver) {
        device = std::make_unique<chip::Chip>(
            driver, clock, boxes,
            chip::AdapterPolicy::rememberedIn(
                iniDir.filePath(QStringLiteral("qe7204-tool.ini")).toStdString()));
        link = &qe::test::ChipAccess::link(*device);
        // The poll timer stays still until a test starts it (startPolling) or ticks by hand.
        window = std::make_unique<MainWindow>(*device, screenSaver);
    }

    sim::SimulatedAdapter& adapter() { return simulation->adapter(); }
    // The device object's state, set as a test starts from it.
    RegisterImage& image() { return qe::test::ChipAccess::image(*device); }
    chip::DerivedValues& derived() { return qe::test::ChipAccess::derived(*device); }
    void setChipAddress(std::uint8_t address) {
        qe::test::ChipAccess::setChipAddress(*device, address);
    }
    sim::Transcript& transcript() { return simulation->transcript(); }

    // One tick at that time on the manual clock; the real-time timer stays still in tests.
    void tickAt(std::int64_t ms) {
        clock.setNs(std::max(clock.nowNs(), ms * kNsPerMs));
        window->Timer1Timer();
        holdTimer();
    }
    // The next tick on which the bus scan is due (the first 50 ms of a second), or not.
    void tickWithScan() { tickAt(nextSecondMs() + 10); }
    void tickWithoutScan() { tickAt(nextSecondMs() + 500); }

    std::int64_t nextSecondMs() { return (clock.nowNs() / kNsPerMs / 1000 + 1) * 1000; }

    QTimer* pollTimer() const { return window->findChild<QTimer*>(QStringLiteral("Timer1")); }
    void holdTimer() { pollTimer()->stop(); }

    // Runs the event loop as a modal box does until the poll timer has fired once; a timer
    // that never fires ends it after two seconds.
    void runEventLoopUntilTick() {
        QEventLoop loop;
        QObject::connect(pollTimer(), &QTimer::timeout, &loop, &QEventLoop::quit);
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        loop.exec();
    }

    template <typename T = QWidget>
    T* find(const char* name) const {
        auto* widget = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Frames seen by the simulated firmware since the last call.
    std::vector<std::string> newFrames() {
        auto frames = transcript().frames();
        transcript().clear();
        return frames;
    }

    int countOf(const std::vector<std::string>& texts, const std::string& text) {
        return static_cast<int>(std::count(texts.begin(), texts.end(), text));
    }

    ManualClock clock;
    std::unique_ptr<sim::SimulatedDriver> simulation;
    std::unique_ptr<qe::test::ScriptedDriver> scripted;
    qe::test::RecordingSink sink;
    ModalBoxes boxes{sink};
    QTemporaryDir iniDir;
    std::unique_ptr<chip::Chip> device;
    AdapterLink* link = nullptr;  // the device's, for a look at the connection state
    FakeScreenSaver screenSaver;
    std::unique_ptr<MainWindow> window;
};

}  // namespace qe::ui::test
