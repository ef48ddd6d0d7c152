// The simulation's control window: each control acts on the simulated adapter, and the
// faults it arms are seen by the next exchanges over the driver.
#include <gtest/gtest.h>
#include <QDial>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "adapter_controls.h"
#include "clock.h"
#include "simulation.h"
#include "simulation_window.h"

namespace qe::ui {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::int64_t kNsPerMs = 1'000'000;

class SimulationWindowTest : public ::testing::Test {
protected:
    SimulationWindowTest()
        : simulation(sim::makeDefaultSimulation(
              clock, {.chips = 1, .revolutionsPerSecond = 0.0, .instantReplies = true})),
          adapter(simulation->adapter()),
          window(adapter) {}

    template <typename T = QPushButton>
    T* find(const char* name) {
        auto* widget = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void click(const char* name) { find(name)->click(); }
    QString text(const char* name) { return find<QLabel>(name)->text(); }

    std::vector<int> chipAddresses() {
        std::vector<int> addresses;
        for (std::size_t i = 0; i < adapter.bus().chipCount(); ++i)
            addresses.push_back(adapter.bus().chip(i).address());
        return addresses;
    }

    // The adapter opened as the tool opens it, with the chip supply switched on.
    void openWithSupplyOn() {
        ASSERT_EQ(simulation->openEx("QE000001", kOpenBySerialNumber, handle), FT_OK);
        EXPECT_EQ(exchange({'Z', 3, 255}), Bytes{});  // switching gets no reply
        ASSERT_TRUE(adapter.supplyOn());
    }

    // Sends a frame and takes whatever has arrived by now on the manual clock.
    Bytes exchange(const Bytes& frame) {
        std::uint32_t written = 0;
        EXPECT_EQ(simulation->write(handle, frame.data(), static_cast<std::uint32_t>(frame.size()),
                                    written),
                  FT_OK);
        return arrived();
    }

    Bytes arrived() {
        std::uint32_t waiting = 0;
        EXPECT_EQ(simulation->getQueueStatus(handle, waiting), FT_OK);
        Bytes reply(waiting);
        std::uint32_t got = 0;
        EXPECT_EQ(simulation->read(handle, reply.data(), waiting, got), FT_OK);
        reply.resize(got);
        return reply;
    }

    ManualClock clock{1'000 * kNsPerMs};
    std::unique_ptr<sim::SimulatedDriver> simulation;
    sim::SimulatedAdapter& adapter;
    SimulationWindow window;
    FtHandle handle = 0;
};

TEST_F(SimulationWindowTest, IsLabelledAsASimulation) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Simulated adapter"));
    EXPECT_TRUE(text("simulationNote").contains(QStringLiteral("Simulated adapter")));
    EXPECT_TRUE(text("simulationNote").contains(QStringLiteral("no hardware")));
}

TEST_F(SimulationWindowTest, UnplugAndPlugInMoveTheCable) {
    openWithSupplyOn();
    window.refresh();
    EXPECT_EQ(text("adapterState"), QStringLiteral("Plugged in, open; chip supply on"));
    EXPECT_FALSE(find("replugButton")->isEnabled());

    click("unplugButton");
    EXPECT_FALSE(adapter.plugged());
    EXPECT_EQ(text("adapterState"), QStringLiteral("Unplugged"));
    EXPECT_FALSE(find("unplugButton")->isEnabled());
    std::uint32_t waiting = 0;
    EXPECT_EQ(simulation->getQueueStatus(handle, waiting), FT_IO_ERROR);

    click("replugButton");
    EXPECT_TRUE(adapter.plugged());
    EXPECT_EQ(text("adapterState"), QStringLiteral("Plugged in, not open; chip supply off"));
    EXPECT_TRUE(find("unplugButton")->isEnabled());
    EXPECT_FALSE(find("replugButton")->isEnabled());
}

TEST_F(SimulationWindowTest, ChipButtonsAddAndRemoveChips) {
    struct Step {
        const char* button;
        std::vector<int> addresses;
        const char* shown;
        bool removable;
    };
    const Step steps[] = {
        {"addChipButton", {0, 1}, "2 chips on the bus, address 0, 1", true},
        {"removeChipButton", {0}, "1 chip on the bus, address 0", true},
        {"removeAllChipsButton", {}, "No chip on the bus", false},
        {"addChipButton", {0}, "1 chip on the bus, address 0", true},
        {"addChipButton", {0, 1}, "2 chips on the bus, address 0, 1", true},
        {"addChipButton", {0, 1, 2}, "3 chips on the bus, address 0, 1, 2", true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.shown);
        click(step.button);
        EXPECT_EQ(chipAddresses(), step.addresses);
        EXPECT_EQ(text("chipList").toStdString(), step.shown);
        EXPECT_EQ(find("removeChipButton")->isEnabled(), step.removable);
        EXPECT_EQ(find("removeAllChipsButton")->isEnabled(), step.removable);
    }
}

TEST_F(SimulationWindowTest, AddedChipTakesTheLowestFreeAddress) {
    adapter.bus().chip(0).setEepromWord(0, 0x0100 | 5);  // the only chip now sits at 5
    click("addChipButton");
    EXPECT_EQ(chipAddresses(), (std::vector<int>{5, 0}));
    openWithSupplyOn();
    EXPECT_EQ(exchange({'X'}), (Bytes{0x00, 0x05, 0xFF}));  // the tool's scan sees both
}

TEST_F(SimulationWindowTest, SpeedBoxStopAndReverseSetTheMagnetsSpeed) {
    auto* speed = find<QDoubleSpinBox>("speedBox");
    auto* dial = find<QDial>("angleDial");
    EXPECT_TRUE(dial->isEnabled());  // the magnet stands still at start in this test

    speed->setValue(2.5);
    EXPECT_DOUBLE_EQ(adapter.magnet().speed(), 2.5);
    EXPECT_FALSE(dial->isEnabled());
    click("reverseButton");
    EXPECT_DOUBLE_EQ(adapter.magnet().speed(), -2.5);
    EXPECT_DOUBLE_EQ(speed->value(), -2.5);
    click("stopButton");
    EXPECT_DOUBLE_EQ(adapter.magnet().speed(), 0.0);
    EXPECT_TRUE(dial->isEnabled());
}

TEST_F(SimulationWindowTest, DialHasZeroAtTheTopAndTurnsClockwiseLikeThePanelsDial) {
    window.show();
    auto* dial = find<QDial>("angleDial");
    const QPoint centre(dial->width() / 2, dial->height() / 2);  // where the dial turns about
    const int reach = dial->width() / 2 - 4;
    struct Case {
        const char* where;
        QPoint offset;
        double turns;
        const char* shown;
    };
    const Case cases[] = {
        {"top", {0, -reach}, 0.0, "0.0° (0 of 4096)"},
        {"right", {reach, 0}, 0.25, "90.0° (1024 of 4096)"},
        {"bottom", {0, reach}, 0.5, "180.0° (2048 of 4096)"},
        {"left", {-reach, 0}, 0.75, "270.0° (3072 of 4096)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        // A press where the dial is touched turns the stopped magnet to that angle.
        adapter.magnet().setAngle(0.6);
        window.refresh();
        QTest::mouseClick(dial, Qt::LeftButton, {}, centre + c.offset);
        EXPECT_DOUBLE_EQ(adapter.magnet().angle(), c.turns);
        window.refresh();
        EXPECT_EQ(text("angleText"), QString::fromUtf8(c.shown));

        // The dial shows the magnet's angle at the same place.
        const int touched = dial->value();
        adapter.magnet().setAngle(0.6);
        window.refresh();
        adapter.magnet().setAngle(c.turns);
        window.refresh();
        EXPECT_EQ(dial->value() % 4096, touched % 4096);
    }
}

TEST_F(SimulationWindowTest, DialFollowsTheTurningMagnet) {
    auto* dial = find<QDial>("angleDial");
    find<QDoubleSpinBox>("speedBox")->setValue(0.5);
    clock.advanceMs(500);  // a quarter of a turn
    window.refresh();
    EXPECT_FALSE(dial->isEnabled());
    EXPECT_EQ(text("angleText"), QStringLiteral("90.0° (1024 of 4096)"));
    const int quarter = dial->value();

    clock.advanceMs(1500);  // three quarters further: back at 0
    window.refresh();
    EXPECT_EQ(text("angleText"), QStringLiteral("0.0° (0 of 4096)"));
    EXPECT_NE(dial->value(), quarter);
}

TEST_F(SimulationWindowTest, DistanceControlsSetTheMagnetStatus) {
    struct Case {
        const char* button;  // nullptr: the slider is set to `tenths`
        int tenths;
        sim::MagnetStatus status;
        const char* shown;
    };
    const Case cases[] = {
        {"tooCloseButton", 2, sim::MagnetStatus::TooClose, "0.2 mm: too close, AGC gain 1"},
        {"tooFarButton", 40, sim::MagnetStatus::TooFar, "4.0 mm: too far, AGC gain 15"},
        {"inRangeButton", 15, sim::MagnetStatus::InRange, "1.5 mm: in range, AGC gain 8"},
        {nullptr, 70, sim::MagnetStatus::Error, "7.0 mm: no field, AGC gain 15"},
    };
    auto* slider = find<QSlider>("distanceSlider");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        c.button ? click(c.button) : slider->setValue(c.tenths);
        EXPECT_EQ(slider->value(), c.tenths);
        EXPECT_DOUBLE_EQ(adapter.magnet().distance(), c.tenths / 10.0);
        EXPECT_EQ(adapter.magnet().status(), c.status);
        EXPECT_EQ(text("distanceText").toStdString(), c.shown);
    }
}

TEST_F(SimulationWindowTest, LostAndLateRepliesHitTheNextExchangeOnly) {
    openWithSupplyOn();
    const Bytes readOutputs = {'V', 0};

    click("loseReplyButton");
    EXPECT_EQ(exchange(readOutputs), Bytes{});
    clock.advanceMs(100);
    EXPECT_EQ(exchange(readOutputs).size(), 8u);

    click("lateReplyButton");
    EXPECT_EQ(exchange(readOutputs), Bytes{});
    clock.advanceMs(AdapterControls::kLateReplyMs);
    EXPECT_EQ(arrived().size(), 8u);  // the late reply has come in by now
    EXPECT_EQ(exchange(readOutputs).size(), 8u);
}

TEST_F(SimulationWindowTest, RefuseWritesHoldsUntilReleased) {
    openWithSupplyOn();
    const Bytes writeZero = {'Y', 0, 49, 0x01, 0x00};
    auto* refuse = find("refuseWritesButton");

    refuse->click();
    ASSERT_TRUE(refuse->isChecked());
    EXPECT_EQ(exchange(writeZero), Bytes{0x00});
    EXPECT_EQ(exchange(writeZero), Bytes{0x00});
    EXPECT_EQ(adapter.bus().chip(0).workingWord(49), 0x0000);

    refuse->click();
    EXPECT_EQ(exchange(writeZero), Bytes{0x01});
    EXPECT_EQ(adapter.bus().chip(0).workingWord(49), 0x0100);
}

}  // namespace
}  // namespace qe::ui
