// The address, the zero position (typed or taken from the current position) and the
// digital hysteresis.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "chip_actions_fixture.h"

namespace qe::ui::test {
namespace {

using Frames = std::vector<std::string>;

const char* const kNumbersOnly = "Please enter numbers only.";
const char* const kAddressRange = "The address must be between 0 and 127";
const char* const kAddressFailed = "The address change was unsuccessful.";
const char* const kZeroRange = "The value must be between 0 and 4095.";
const char* const kZeroFailed = "The zero position change was unsuccessful.";
const char* const kZeroHereFailed = "Setting current position as zero position was unsuccessful.";
const char* const kHysteresisFailed = "The Digital hyseresis change was unsuccessful.";

// The two ways each entered setting is applied: its button, and the focus leaving its field.
struct EntryPoint {
    const char* name;
    const char* button;
    void (MainWindow::*exit)();
};

class EnteredSettingTest : public ChipActionsTest {
protected:
    void apply(const EntryPoint& entry) {
        if (entry.exit)
            (window.get()->*entry.exit)();
        else
            find<QPushButton>(entry.button)->click();
    }
    QLineEdit* field(const char* name) { return find<QLineEdit>(name); }

    // Shows the window as the active one, so that focus changes happen as for the user.
    bool activate() {
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        return window->isActiveWindow();
    }
};

const char* const kNoFocus = "this platform gives no window the focus";

// --- address ------------------------------------------------------------------------------

struct AddressCase {
    const char* name;
    QString text;
    std::vector<const char*> messages;
    const char* fieldAfter;
    Frames frames;
    int addressAfter;
};

void PrintTo(const AddressCase& c, std::ostream* out) {
    *out << c.name;
}

const EntryPoint kAddressEntries[] = {{"Button", "BtnDolociNaslov", nullptr},
                                      {"FieldExit", nullptr, &MainWindow::EdNaslovCipaExit}};

class AddressTest : public EnteredSettingTest,
                    public ::testing::WithParamInterface<std::tuple<AddressCase, EntryPoint>> {
protected:
    void SetUp() override {
        EnteredSettingTest::SetUp();
        chipHolds({{48, 0x4D80}});  // bit 7 and bits 8..15 must survive
    }
};

TEST_P(AddressTest, ChecksTheTextAndWritesTheAddressIntoTheChipsWord) {
    const auto& [c, entry] = GetParam();
    field("EdNaslovCipa")->setText(c.text);

    apply(entry);

    EXPECT_EQ(newFrames(), c.frames);
    EXPECT_EQ(sink.shown, errors(c.messages));
    EXPECT_EQ(field("EdNaslovCipa")->text(), c.fieldAfter);
    EXPECT_EQ(device->chipAddress(), c.addressAfter);
    EXPECT_EQ(chip().address(), c.addressAfter);
    if (!c.messages.empty()) {
        EXPECT_EQ(window->focusWidget(), field("EdNaslovCipa"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AddressTest,
    ::testing::Combine(
        ::testing::Values(
            AddressCase{"Letters", "12a", {kNumbersOnly}, "0", {}, 0},
            AddressCase{"TooHigh", "128", {kAddressRange}, "0", {}, 0},
            AddressCase{
                "OtherScriptDigits", QString::fromUtf8("\u0661\u0662"), {kNumbersOnly}, "0", {}, 0},
            AddressCase{"LeadingZeros", "007", {}, "7", {"R 0 48", "W 0 48 0x4D87"}, 7},
            AddressCase{"Highest", "127", {}, "127", {"R 0 48", "W 0 48 0x4DFF"}, 127},
            AddressCase{
                "EmptyWritesTheCurrentAddressAgain", "", {}, "0", {"R 0 48", "W 0 48 0x4D80"}, 0}),
        ::testing::ValuesIn(kAddressEntries)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
    });

TEST_F(EnteredSettingTest,
       AfterAnAddressChangeTheMirrorHoldsTheNewWordAndCommandsGoToTheNewAddress) {
    chipHolds({{48, 0x4D80}});
    field("EdNaslovCipa")->setText("9");
    window->BtnSetAddressClick();
    EXPECT_EQ(image()[48], 0x4D89);
    newFrames();

    group("RgREG35")->setItemIndex(1);

    EXPECT_EQ(newFrames(), (Frames{"R 9 48", "W 9 48 0x4C89", "R 9 48"}));
}

TEST_F(EnteredSettingTest, AFailedAddressChangeKeepsTheOldAddressAndTheNewText) {
    const struct {
        const char* name;
        std::function<void(sim::SimulatedAdapter&)> fault;
        Frames frames;
    } cases[] = {
        {"write refused",
         [](sim::SimulatedAdapter& a) { a.refuseWritesTo(48); },
         {"R 0 48", "W 0 48 0x0107"}},
        // Without the chip's own word the other bits are unknown: nothing is written.
        {"word not reported", [](sim::SimulatedAdapter& a) { a.loseNextReply(); }, {"R 0 48"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.fault(adapter());
        field("EdNaslovCipa")->setText("7");

        window->BtnSetAddressClick();

        EXPECT_EQ(newFrames(), c.frames);
        EXPECT_EQ(sink.shown, errors({kAddressFailed}));
        EXPECT_EQ(field("EdNaslovCipa")->text(), "7");
        EXPECT_EQ(device->chipAddress(), 0);
        EXPECT_EQ(image()[48], 0x0100);
        EXPECT_EQ(window->focusWidget(), field("EdNaslovCipa"));
        adapter().clearFaults();
        sink.clear();
    }
}

// Focus moving from the field to the button runs the change, and then the click runs it again.
TEST_F(EnteredSettingTest, PressingTheButtonWhileTheFieldHasTheFocusChangesTheAddressTwice) {
    if (!activate()) GTEST_SKIP() << kNoFocus;
    field("EdNaslovCipa")->setFocus(Qt::TabFocusReason);
    field("EdNaslovCipa")->setText("7");

    auto* button = find<QPushButton>("BtnDolociNaslov");
    button->setFocus(Qt::MouseFocusReason);
    button->click();

    EXPECT_EQ(newFrames(), (Frames{"R 0 48", "W 0 48 0x0107", "R 7 48", "W 7 48 0x0107"}));
    EXPECT_EQ(device->chipAddress(), 7);
}

TEST_F(EnteredSettingTest, LosingTheFocusToAnotherWindowOrByBeingDisabledIsNoExit) {
    if (!activate()) GTEST_SKIP() << kNoFocus;
    field("EdPosZ")->setFocus(Qt::TabFocusReason);
    field("EdPosZ")->setText("12");

    field("EdPosZ")->setEnabled(false);  // as a tick does when the chip goes
    field("EdPosZ")->setEnabled(true);
    field("EdPosZ")->setFocus(Qt::TabFocusReason);
    QWidget other;
    other.show();
    other.activateWindow();
    QApplication::processEvents();

    EXPECT_TRUE(newFrames().empty());
    EXPECT_TRUE(sink.shown.empty());
}

// An exit that puts the focus back into its own field has Qt tell the field the user was
// moving to that it lost a focus it never got; that is no exit of the other field.
TEST_F(EnteredSettingTest, AnExitThatKeepsTheFocusRunsNoExitOfTheFieldClickedInto) {
    if (!activate()) GTEST_SKIP() << kNoFocus;
    const struct {
        const char* name;
        const char* from;
        const char* text;
        const char* to;
        std::function<void(sim::SimulatedAdapter&)> fault;
        Frames frames;
        const char* message;
    } cases[] = {
        {"address write refused",
         "EdNaslovCipa",
         "7",
         "EdPosZ",
         [](sim::SimulatedAdapter& a) { a.refuseWritesTo(48); },
         {"R 0 48", "W 0 48 0x0107"},
         kAddressFailed},
        {"address text refused",
         "EdNaslovCipa",
         "7x",
         "EdPosZ",
         [](sim::SimulatedAdapter&) {},
         {},
         kNumbersOnly},
        {"zero text refused",
         "EdPosZ",
         "4096",
         "EdNaslovCipa",
         [](sim::SimulatedAdapter&) {},
         {},
         kZeroRange},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        field(c.from)->setFocus(Qt::TabFocusReason);
        settle();
        field(c.from)->setText(c.text);
        field(c.to)->setText("12");  // what its exit would write
        c.fault(adapter());

        field(c.to)->setFocus(Qt::MouseFocusReason);

        EXPECT_EQ(newFrames(), c.frames);
        EXPECT_EQ(sink.shown, errors({c.message}));
        EXPECT_EQ(window->focusWidget(), field(c.from));
        EXPECT_EQ(device->chipAddress(), 0);
        adapter().clearFaults();
    }
}

TEST_F(EnteredSettingTest, LeavingTheZeroFieldPresetsTheZeroPosition) {
    if (!activate()) GTEST_SKIP() << kNoFocus;
    field("EdPosZ")->setFocus(Qt::TabFocusReason);
    field("EdPosZ")->setText("100");

    find<QComboBox>("cbHysteresis")->setFocus(Qt::MouseFocusReason);

    EXPECT_EQ(newFrames(), (Frames{"R 0 49", "W 0 49 0x0064", "R 0 49"}));
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(EnteredSettingTest, EnteredSettingsTalkToNoChipDuringAnUnfinishedPollTick) {
    const struct {
        const char* name;
        void (MainWindow::*action)();
    } cases[] = {
        {"address button", &MainWindow::BtnSetAddressClick},
        {"address field exit", &MainWindow::EdNaslovCipaExit},
        {"zero button", &MainWindow::BtnPresetZeroClick},
        {"zero field exit", &MainWindow::EdPosZExit},
        {"hysteresis button", &MainWindow::ButtonSetHysteresisClick},
    };
    field("EdNaslovCipa")->setText("007");
    field("EdPosZ")->setText("100");
    find<QComboBox>("cbHysteresis")->setCurrentIndex(5);
    window->PollBusy = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);

        (window.get()->*c.action)();

        EXPECT_TRUE(newFrames().empty());
        EXPECT_TRUE(sink.shown.empty());
    }
    window->PollBusy = false;
    EXPECT_EQ(field("EdNaslovCipa")->text(), "007");
    EXPECT_EQ(device->chipAddress(), 0);
}

// --- zero position ------------------------------------------------------------------------

struct ZeroCase {
    const char* name;
    const char* text;
    std::vector<const char*> messages;
    const char* fieldAfter;
    Frames frames;
    std::uint16_t chipWordAfter;
};

void PrintTo(const ZeroCase& c, std::ostream* out) {
    *out << c.name;
}

const EntryPoint kZeroEntries[] = {{"Button", "BtnPresetZero", nullptr},
                                   {"FieldExit", nullptr, &MainWindow::EdPosZExit}};

class ZeroPresetTest : public EnteredSettingTest,
                       public ::testing::WithParamInterface<std::tuple<ZeroCase, EntryPoint>> {
protected:
    void SetUp() override {
        EnteredSettingTest::SetUp();
        chipHolds({{49, 0x5123}});  // Zin 291; Sign and BufSel must survive
    }
};

TEST_P(ZeroPresetTest, ChecksTheTextAndWritesTheZeroPosition) {
    const auto& [c, entry] = GetParam();
    field("EdPosZ")->setText(c.text);

    apply(entry);

    EXPECT_EQ(newFrames(), c.frames);
    EXPECT_EQ(sink.shown, errors(c.messages));
    EXPECT_EQ(field("EdPosZ")->text(), c.fieldAfter);
    EXPECT_EQ(chip().workingWord(49), c.chipWordAfter);
    EXPECT_EQ(image()[49], c.chipWordAfter);
    if (!c.messages.empty()) {
        EXPECT_EQ(window->focusWidget(), field("EdPosZ"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ZeroPresetTest,
    ::testing::Combine(
        ::testing::Values(
            ZeroCase{"Letters", "12x", {kNumbersOnly}, "291", {}, 0x5123},
            ZeroCase{"TooHigh", "4096", {kZeroRange}, "291", {}, 0x5123},
            ZeroCase{"Highest", "4095", {}, "4095", {"R 0 49", "W 0 49 0x5FFF", "R 0 49"}, 0x5FFF},
            ZeroCase{"LeadingZeroKeptInTheField",
                     "0100",
                     {},
                     "0100",
                     {"R 0 49", "W 0 49 0x5064", "R 0 49"},
                     0x5064},
            ZeroCase{"EmptyWritesZeroAndStaysEmpty",
                     "",
                     {},
                     "",
                     {"R 0 49", "W 0 49 0x5000", "R 0 49"},
                     0x5000}),
        ::testing::ValuesIn(kZeroEntries)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
    });

TEST_F(EnteredSettingTest, AFailedZeroPresetLeavesTheChipsWord) {
    const struct {
        const char* name;
        std::function<void(sim::SimulatedAdapter&)> fault;
        Frames frames;
    } cases[] = {
        {"write refused",
         [](sim::SimulatedAdapter& a) { a.refuseWritesTo(49); },
         {"R 0 49", "W 0 49 0x0064"}},
        {"word not reported", [](sim::SimulatedAdapter& a) { a.loseNextReply(); }, {"R 0 49"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.fault(adapter());
        field("EdPosZ")->setText("100");

        window->BtnPresetZeroClick();

        EXPECT_EQ(newFrames(), c.frames);
        EXPECT_EQ(sink.shown, errors({kZeroFailed}));
        EXPECT_EQ(chip().workingWord(49), 0x0000);
        adapter().clearFaults();
        sink.clear();
    }
}

TEST_F(EnteredSettingTest, EnteredSettingsDoNothingWhileThePanelIsBeingFilled) {
    window->PanelReady = false;
    field("EdNaslovCipa")->setText("abc");
    field("EdPosZ")->setText("99999");

    window->BtnSetAddressClick();
    window->EdPosZExit();
    window->ButtonSetHysteresisClick();

    EXPECT_TRUE(newFrames().empty());
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(field("EdNaslovCipa")->text(), "abc");
}

// --- zero at the current position ----------------------------------------------------------

class ZeroHereTest : public EnteredSettingTest {
protected:
    void SetUp() override {
        EnteredSettingTest::SetUp();
        chipHolds({{49, 0x5000}});
        adapter().magnet().setAngle((1234 + 0.5) / 4096);
        field("EdPosZ")->setText("5");
    }
};

TEST_F(ZeroHereTest, MakesTheAbsolutePositionTheZeroWithoutWaitingOrLookingAtThePanel) {
    window->PanelReady = false;
    window->PollBusy = true;

    find<QPushButton>("BtnZeroCurrentPos")->click();

    EXPECT_EQ(newFrames(), (Frames{"readOutputs 0", "R 0 49", "W 0 49 0x54D2", "R 0 49"}));
    EXPECT_EQ(chip().workingWord(49), 0x54D2);
    EXPECT_EQ(field("EdPosZ")->text(), "1234");
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(ZeroHereTest, Failures) {
    const struct {
        const char* name;
        std::function<void(sim::SimulatedAdapter&)> fault;
        Frames frames;
        std::vector<const char*> messages;
    } cases[] = {
        {"outputs not read: nothing at all",
         [](sim::SimulatedAdapter& a) { a.loseNextReply(); },
         {"readOutputs 0"},
         {}},
        {"write refused",
         [](sim::SimulatedAdapter& a) { a.refuseWritesTo(49); },
         {"readOutputs 0", "R 0 49", "W 0 49 0x54D2"},
         {kZeroHereFailed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.fault(adapter());

        window->BtnZeroCurrentPosClick();

        EXPECT_EQ(newFrames(), c.frames);
        EXPECT_EQ(sink.shown, errors(c.messages));
        EXPECT_EQ(chip().workingWord(49), 0x5000);
        EXPECT_EQ(field("EdPosZ")->text(), "5");
        adapter().clearFaults();
        sink.clear();
    }
}

TEST_F(ZeroHereTest, TheAnaloguePanelsZeroShowsItsOwnMessage) {
    adapter().refuseWritesTo(49);
    window->ZeroAtCurrentPosition(kZeroFailed);
    EXPECT_EQ(sink.shown, errors({kZeroFailed}));
}

// The simulated adapter can only lose the next reply, here that of the output registers; the
// scripted one answers them and then leaves the read of word 49 unanswered.
class ScriptedZeroHereTest : public MainWindowTest {
protected:
    void SetUp() override { startScripted(); }
};

TEST_F(ScriptedZeroHereTest, ALostReadBackShowsAndKeepsTheZeroTheChipAcknowledged) {
    scripted->replyToNextWrite({0x00, 0x00, 0x04, 0xD2, 0x00, 0x00, 0x00, 0x00});
    scripted->replyToNextWrite({0x50, 0x00});
    scripted->replyToNextWrite({1});  // and the read-back gets no reply

    window->BtnZeroCurrentPosClick();

    EXPECT_EQ(scripted->frames(), (std::vector<std::vector<std::uint8_t>>{
                                      {86, 0}, {89, 1, 49}, {89, 0, 49, 0x54, 0xD2}, {89, 1, 49}}));
    EXPECT_EQ(find<QLineEdit>("EdPosZ")->text(), "1234");
    EXPECT_EQ(image()[49], 0x54D2);
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(ScriptedZeroHereTest, AZeroWordTheChipDidNotReportIsNeverWritten) {
    // Output words 32..35, high byte first, with AbsPos 1234; then word 49 never comes.
    scripted->replyToNextWrite({0x00, 0x00, 0x04, 0xD2, 0x00, 0x00, 0x00, 0x00});

    window->BtnZeroCurrentPosClick();

    EXPECT_EQ(scripted->frames(), (std::vector<std::vector<std::uint8_t>>{{86, 0}, {89, 1, 49}}));
    EXPECT_EQ(sink.texts(), std::vector<std::string>{kZeroHereFailed});
}

// --- hysteresis -------------------------------------------------------------------------------

class HysteresisTest : public EnteredSettingTest {
protected:
    void SetUp() override {
        EnteredSettingTest::SetUp();
        chipHolds({{50, 0xFF81}});  // Hyst 1; bits 7..15 must survive
    }
    QComboBox* box() { return find<QComboBox>("cbHysteresis"); }
};

TEST_F(HysteresisTest, WritesTheChosenItemOrAnItemsTextTypedInFull) {
    const struct {
        const char* name;
        std::function<void(QComboBox*)> choose;
        Frames frames;
    } cases[] = {
        {"item chosen",
         [](QComboBox* b) { b->setCurrentIndex(10); },
         {"R 0 50", "W 0 50 0xFF8A", "R 0 50"}},
        {"item text typed",
         [](QComboBox* b) { b->setEditText(QString::fromUtf8("127 (11.16°)")); },
         {"R 0 50", "W 0 50 0xFFFF", "R 0 50"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.choose(box());

        find<QPushButton>("ButtonSetHysteresis")->click();

        EXPECT_EQ(newFrames(), c.frames);
        EXPECT_TRUE(sink.shown.empty());
    }
}

// Typed over another item or over the chip's own one, the box shows the chip's item again.
TEST_F(HysteresisTest, TypedTextThatIsNoItemSelectsTheChipsHysteresisAgain) {
    for (const int typedOver : {20, 1}) {
        SCOPED_TRACE(typedOver);
        box()->setCurrentIndex(typedOver);
        box()->setEditText("12");

        window->ButtonSetHysteresisClick();

        EXPECT_TRUE(newFrames().empty());
        EXPECT_EQ(sink.shown, errors({kNumbersOnly}));
        EXPECT_EQ(box()->currentIndex(), 1);
        EXPECT_EQ(box()->currentText(), QString::fromUtf8("1 (0.09°)"));
        EXPECT_EQ(window->focusWidget(), box());
        sink.clear();
    }
}

TEST_F(HysteresisTest, AFailedChangeShowsItsMessage) {
    const struct {
        const char* name;
        std::function<void(sim::SimulatedAdapter&)> fault;
        Frames frames;
    } cases[] = {
        {"write refused",
         [](sim::SimulatedAdapter& a) { a.refuseWritesTo(50); },
         {"R 0 50", "W 0 50 0xFF85"}},
        {"word not reported", [](sim::SimulatedAdapter& a) { a.loseNextReply(); }, {"R 0 50"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.fault(adapter());
        box()->setCurrentIndex(5);

        window->ButtonSetHysteresisClick();

        EXPECT_EQ(newFrames(), c.frames);
        EXPECT_EQ(sink.shown, errors({kHysteresisFailed}));
        EXPECT_EQ(chip().workingWord(50), 0xFF81);
        adapter().clearFaults();
        sink.clear();
    }
}

}  // namespace
}  // namespace qe::ui::test
