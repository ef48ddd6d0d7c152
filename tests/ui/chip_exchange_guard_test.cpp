// A tick that falls due while a handler waits in a message box between its exchanges with
// the chip leaves the adapter to the handler and only re-arms the timer.
#include <QLineEdit>
#include <functional>

#include "chip_actions_fixture.h"

namespace qe::ui::test {
namespace {

using Frames = std::vector<std::string>;

struct BoxedHandlerCase {
    const char* name;
    std::function<void(sim::SimulatedAdapter&)> fault;
    std::function<void(MainWindow&)> act;
    Frames frames;  // the handler's own exchanges and nothing of a tick's
    const char* message;
};

void PrintTo(const BoxedHandlerCase& c, std::ostream* out) {
    *out << c.name;
}

class TickInAHandlersBoxTest : public ChipActionsTest,
                               public ::testing::WithParamInterface<BoxedHandlerCase> {};

TEST_P(TickInAHandlersBoxTest, LeavesTheAdapterAloneAndRearmsTheTimer) {
    const BoxedHandlerCase& c = GetParam();
    c.fault(adapter());
    int ticksInBox = 0;
    boxes.whileUp = [&] {
        const auto counting =
            QObject::connect(pollTimer(), &QTimer::timeout, [&] { ++ticksInBox; });
        runEventLoopUntilTick();
        QObject::disconnect(counting);
    };
    pollTimer()->start(0);  // due the moment a box lets events run

    c.act(*window);

    EXPECT_EQ(newFrames(), c.frames);
    EXPECT_EQ(sink.texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(ticksInBox, 1);
    EXPECT_TRUE(pollTimer()->isActive());
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, TickInAHandlersBoxTest,
    ::testing::Values(BoxedHandlerCase{"SettingChange",
                                       [](sim::SimulatedAdapter& a) { a.refuseWritesTo(51); },
                                       [](MainWindow& w) {
                                           w.radioGroup(QStringLiteral("RgDAC"))->setItemIndex(2);
                                       },
                                       {"R 0 51", "W 0 51 0x41C0"},
                                       "DAC change was unsuccessful."},
                      BoxedHandlerCase{"PowerOnFindingTwoChips",
                                       [](sim::SimulatedAdapter& a) { a.addChip(5); },
                                       [](MainWindow& w) { w.BtnONClick(); },
                                       {"power on", "query power", "scan"},
                                       "It is not allowed to connected more than one QE7204!"},
                      BoxedHandlerCase{"EepromRead",
                                       [](sim::SimulatedAdapter& a) { a.loseNextReply(); },
                                       [](MainWindow& w) { w.BtnReadClick(); },
                                       {"R 0 48"},
                                       "The reading was unsuccessful."},
                      BoxedHandlerCase{"AddressChange",
                                       [](sim::SimulatedAdapter& a) { a.refuseWritesTo(48); },
                                       [](MainWindow& w) {
                                           w.findChild<QLineEdit*>(QStringLiteral("EdNaslovCipa"))
                                               ->setText(QStringLiteral("7"));
                                           w.BtnSetAddressClick();
                                       },
                                       {"R 0 48", "W 0 48 0x0107"},
                                       "The address change was unsuccessful."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qe::ui::test
