// A click on the position dial's zero zone makes the chip's current position its zero.
#include <QCoreApplication>
#include <QMouseEvent>

#include "panel_fixture.h"

namespace qe::ui::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The zone in the panel's 650 x 654 view covers x 259..391, y 445..478.
constexpr QPoint kInZone(325, 460);
constexpr std::uint16_t kPosition = 1234;
const char* const kFailure = "The zero position change was unsuccessful.";

class ZeroClickTest : public PanelTest {
protected:
    void startOnSimulation() {
        startPanel();
        adapter().magnet().setAngle((kPosition + 0.5) / 4096.0);
        chip().write(49, 0x5000);
        zeroField()->setText(QStringLiteral("7"));
        transcript().clear();
    }

    sim::Qe7204Chip& chip() { return adapter().bus().chip(0); }

    void click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(at), button, button,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&panel->imgView(), &press);
    }
};

TEST_F(ZeroClickTest, WritesTheAbsolutePositionAsZeroKeepingTheOtherBits) {
    startOnSimulation();

    click(kInZone);

    EXPECT_EQ(newFrames(),
              (std::vector<std::string>{"readOutputs 0", "R 0 49", "W 0 49 0x54D2", "R 0 49"}));
    EXPECT_EQ(chip().workingWord(49), 0x54D2);
    EXPECT_EQ(image()[49], 0x54D2);
    EXPECT_EQ(zeroField()->text(), "1234");
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(ZeroClickTest, ClicksThatDoNotAskForItDoNothing) {
    struct Case {
        const char* what;
        bool tacho;
        Qt::MouseButton button;
        QPoint at;
    };
    const Case cases[] = {
        {"right button", false, Qt::RightButton, kInZone},
        {"middle button", false, Qt::MiddleButton, kInZone},
        {"tacho scale", true, Qt::LeftButton, kInZone},
        {"left of the zone", false, Qt::LeftButton, {258, 460}},
        {"below the zone", false, Qt::LeftButton, {325, 479}},
        {"centre of the dial", false, Qt::LeftButton, {325, 327}},
    };
    startOnSimulation();
    for (const Case& c : cases) {
        (c.tacho ? tachoButton() : positionButton())->setChecked(true);
        transcript().clear();
        click(c.at, c.button);
        EXPECT_TRUE(newFrames().empty()) << c.what;
        EXPECT_EQ(chip().workingWord(49), 0x5000) << c.what;
        EXPECT_EQ(zeroField()->text(), "7") << c.what;
        EXPECT_TRUE(sink.shown.empty()) << c.what;
    }
}

TEST_F(ZeroClickTest, ARefusedWriteIsReportedAndTheFieldKept) {
    startOnSimulation();
    adapter().refuseWritesTo(49);

    click(kInZone);

    EXPECT_EQ(newFrames(), (std::vector<std::string>{"readOutputs 0", "R 0 49", "W 0 49 0x54D2"}));
    EXPECT_EQ(chip().workingWord(49), 0x5000);
    EXPECT_EQ(zeroField()->text(), "7");
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0], std::make_pair(MessageKind::Error, std::string(kFailure)));
}

TEST_F(ZeroClickTest, ATickDueWhileTheFailureIsShownLeavesTheAdapterAlone) {
    startOnSimulation();
    adapter().refuseWritesTo(49);
    int ticksInBox = 0;
    boxes.whileUp = [&] {
        const auto counting =
            QObject::connect(pollTimer(), &QTimer::timeout, [&] { ++ticksInBox; });
        runEventLoopUntilTick();
        QObject::disconnect(counting);
    };
    pollTimer()->start(0);  // due the moment the box lets events run

    click(kInZone);

    EXPECT_EQ(newFrames(), (std::vector<std::string>{"readOutputs 0", "R 0 49", "W 0 49 0x54D2"}));
    EXPECT_EQ(sink.texts(), std::vector<std::string>{kFailure});
    EXPECT_EQ(ticksInBox, 1);
    EXPECT_TRUE(pollTimer()->isActive()) << "the tick re-armed the timer";
    holdTimer();
}

TEST_F(ZeroClickTest, WithoutAnAdapterNothingIsSentOrShown) {
    folder.writeAll();
    simulation = sim::makeDefaultSimulation(clock, {.instantReplies = true});
    adapter().unplug();
    start(*simulation);
    makePanel();
    transcript().clear();
    zeroField()->setText(QStringLiteral("7"));

    click(kInZone);

    EXPECT_TRUE(transcript().frames().empty());
    EXPECT_EQ(zeroField()->text(), "7");
    EXPECT_TRUE(sink.shown.empty());
}

// The outputs with AbsPos 1234, as the adapter sends them.
const Bytes kOutputs{0x00, 0x10, 0x04, 0xD2, 0x00, 0x00, 0x00, 0x00};
const Bytes kReadOutputsFrame{'V', 0};
const Bytes kReadWord49Frame{'Y', 1, 49};

TEST_F(ZeroClickTest, AWordThatCouldNotBeReadIsNeverWrittenBack) {
    folder.writeAll();
    startScripted();
    makePanel();
    zeroField()->setText(QStringLiteral("7"));
    scripted->replyToNextWrite(kOutputs);  // and no reply to the read of word 49

    click(kInZone);

    EXPECT_EQ(scripted->frames(), (std::vector<Bytes>{kReadOutputsFrame, kReadWord49Frame}));
    EXPECT_EQ(zeroField()->text(), "7");
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0], std::make_pair(MessageKind::Error, std::string(kFailure)));
}

TEST_F(ZeroClickTest, ALostReadBackShowsTheZeroTheChipAcknowledged) {
    folder.writeAll();
    startScripted();
    makePanel();
    scripted->replyToNextWrite(kOutputs);
    scripted->replyToNextWrite({0x50, 0x00});
    scripted->replyToNextWrite({1});  // written; the read-back then gets no reply

    click(kInZone);

    EXPECT_EQ(
        scripted->frames(),
        (std::vector<Bytes>{
            kReadOutputsFrame, kReadWord49Frame, {'Y', 0, 49, 0x54, 0xD2}, kReadWord49Frame}));
    EXPECT_EQ(zeroField()->text(), "1234");
    EXPECT_TRUE(sink.shown.empty());
}

}  // namespace
}  // namespace qe::ui::test
