// The poll cycle: display states and their control tables, the bus scan and its re-read
// rules, connection loss, the once-a-second work and the power buttons.
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "main_window_fixture.h"
#include "radio_group.h"
#include "status_panels.h"

namespace qe::ui::test {
namespace {

const char* const kTooManyChips = "It is not allowed to connected more than one QE7204!";
const char* const kReadoutLabels[] = {"LblPosRel", "LblPosAbs", "LblTaho", "LblMagnetSt",
                                      "LblAGCgain"};
const char* const kSettingsControls[] = {"RgACC",           "RgDACT",
                                         "RgBufSel",        "RgSign",
                                         "RgSSI",           "RgREG35",
                                         "RgPdee",          "RgAGCDis",
                                         "RgPDint",         "RgABRiDis",
                                         "GbChipAddress",   "EdNaslovCipa",
                                         "BtnDolociNaslov", "EdPosZ",
                                         "BtnPresetZero",   "BtnZeroCurrentPos",
                                         "cbHysteresis",    "ButtonSetHysteresis",
                                         "BtnProg",         "BtnRead",
                                         "BtnSave",         "BtnLoad",
                                         "CbBeriSkoz"};

class PollCycleTest : public MainWindowTest {
public:
    void clickPowerOff() { find<QPushButton>("BtnOFF")->click(); }

protected:
    QString statusText(int panel) { return find<StatusPanels>("StBar1")->panelText(panel); }
    bool enabled(const char* name) { return find(name)->isEnabled(); }
    void expectSettings(bool operable) {
        for (const char* name : kSettingsControls) EXPECT_EQ(enabled(name), operable) << name;
    }
    // The four groups that follow other settings, in the order RgDAC, RgSTH, RgUVW, RgPDTR.
    std::vector<bool> dependentGroupsEnabled() {
        return {enabled("RgDAC"), enabled("RgSTH"), enabled("RgUVW"), enabled("RgPDTR")};
    }
};

// --- display states ------------------------------------------------------------------------

struct StateCase {
    const char* name;
    std::function<void(PollCycleTest&, sim::SimulatedAdapter&)>
        enter;  // after a powered tick with a scan
    const char* connection;
    const char* supply;
    std::vector<std::pair<const char*, bool>> enabled;
    bool compactDisplayShown;
    bool readoutBlanked;
};

void PrintTo(const StateCase& c, std::ostream* out) {
    *out << c.name;
}

class DisplayStateTest : public PollCycleTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(DisplayStateTest, ShowsTheStateAndSetsTheControlsByTheTable) {
    const StateCase& c = GetParam();
    startSimulated();
    tickWithScan();
    c.enter(*this, adapter());
    tickWithoutScan();

    EXPECT_EQ(statusText(0), c.connection);
    EXPECT_EQ(statusText(1), c.supply);
    for (const auto& [name, expected] : c.enabled) EXPECT_EQ(enabled(name), expected) << name;
    EXPECT_EQ(!find("LabelPOSdeg")->isHidden(), c.compactDisplayShown);
    EXPECT_EQ(!find("LabelPOSInc")->isHidden(), c.compactDisplayShown);
    for (const char* label : kReadoutLabels)
        EXPECT_EQ(find<QLabel>(label)->text() == "...", c.readoutBlanked) << label;
}

INSTANTIATE_TEST_SUITE_P(
    States, DisplayStateTest,
    ::testing::Values(StateCase{"Powered",
                                [](PollCycleTest&, sim::SimulatedAdapter&) {},
                                "Interface connected",
                                "Chip is powered",
                                {{"BtnON", false},
                                 {"BtnOFF", true},
                                 {"BtnProg", true},
                                 {"BtnLoad", true},
                                 {"Btn_AR_pos", false},
                                 {"CbBeriSkoz", true},
                                 {"GbRelativePosition", true},
                                 {"RbNumber", true},
                                 {"Rbdegrees", true}},
                                true,
                                false},
                      StateCase{"NotPowered",
                                [](PollCycleTest& t, sim::SimulatedAdapter&) { t.clickPowerOff(); },
                                "Interface connected",
                                "Chip is not powered",
                                {{"BtnON", true},
                                 {"BtnOFF", false},
                                 {"BtnProg", false},
                                 {"BtnLoad", false},
                                 {"Btn_AR_pos", false},
                                 {"CbBeriSkoz", false},
                                 {"GbRelativePosition", false},
                                 {"RbNumber", false},
                                 {"Rbdegrees", false}},
                                false,
                                true},  // "Power OFF" blanked them
                      StateCase{
                          "NotConnected",
                          [](PollCycleTest&, sim::SimulatedAdapter& adapter) { adapter.unplug(); },
                          "Interface not connected",
                          "",
                          // The relative position box keeps what it had.
                          {{"BtnON", false},
                           {"BtnOFF", false},
                           {"BtnProg", false},
                           {"BtnLoad", false},
                           {"Btn_AR_pos", false},
                           {"CbBeriSkoz", false},
                           {"GbRelativePosition", true},
                           {"RbNumber", false},
                           {"Rbdegrees", false}},
                          false,
                          true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PollCycleTest, RefreshButtonIsEnabledExactlyWhileContinuouslyIsOff) {
    startSimulated();
    tickWithScan();
    auto* continuously = find<QCheckBox>("CbBeriSkoz");
    continuously->setChecked(false);
    EXPECT_TRUE(enabled("Btn_AR_pos"));
    tickWithoutScan();
    EXPECT_TRUE(enabled("Btn_AR_pos"));
    transcript().clear();
    tickWithoutScan();
    EXPECT_EQ(countOf(transcript().frames(), "readOutputs 0"), 0)
        << "no readout while not continuous";

    continuously->setChecked(true);
    EXPECT_FALSE(enabled("Btn_AR_pos"));
    tickWithoutScan();
    EXPECT_FALSE(enabled("Btn_AR_pos"));
}

// --- the scan and the re-read ---------------------------------------------------------------

TEST_F(PollCycleTest, ScansOnlyInTheFirstFiftyMillisecondsOfASecond) {
    startSimulated();
    const struct {
        std::int64_t msIntoSecond;
        int scans;
    } cases[] = {{0, 1}, {49, 1}, {50, 0}, {999, 0}};
    std::int64_t second = 200'000;
    for (const auto& c : cases) {
        transcript().clear();
        tickAt(second + c.msIntoSecond);
        EXPECT_EQ(countOf(transcript().frames(), "scan"), c.scans) << c.msIntoSecond;
        second += 1000;
    }
}

TEST_F(PollCycleTest, FirstScanReadsTheChipAndTheSameAddressAgainReadsNothing) {
    startSimulated();
    tickWithScan();
    const auto first = newFrames();
    EXPECT_EQ(countOf(first, "readAll 0"), 1);
    expectSettings(true);
    EXPECT_EQ(link->chipAddressList(), std::vector<std::uint8_t>{0});

    tickWithScan();
    const auto second = newFrames();
    EXPECT_EQ(countOf(second, "scan"), 1);
    EXPECT_EQ(countOf(second, "readAll 0"), 0);
    expectSettings(true);
}

TEST_F(PollCycleTest, AChipAtANewAddressBecomesTheChipAndIsReadOnce) {
    startSimulated();
    tickWithScan();
    adapter().removeChip(0);
    adapter().addChip(6);
    transcript().clear();

    tickWithScan();
    EXPECT_EQ(device->chipAddress(), 6);
    const auto frames = newFrames();
    EXPECT_EQ(countOf(frames, "R 6 48"), 1);
    EXPECT_EQ(countOf(frames, "readAll 6"), 1);
    EXPECT_EQ(countOf(frames, "readOutputs 6"), 1);
    EXPECT_EQ(find<QLineEdit>("EdNaslovCipa")->text(), "6");

    tickWithScan();
    EXPECT_EQ(countOf(newFrames(), "readAll 6"), 0);
}

TEST_F(PollCycleTest, TwoChipsAreRefusedAndWhenOneIsLeftItIsReadAgain) {
    startSimulated();
    tickWithScan();
    adapter().addChip(5);
    transcript().clear();

    tickWithScan();
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].first, MessageKind::Error);
    EXPECT_EQ(sink.shown[0].second, kTooManyChips);
    expectSettings(false);
    EXPECT_TRUE(enabled("BtnOFF"));
    EXPECT_EQ(device->chipAddress(), 0);
    auto frames = newFrames();
    EXPECT_EQ(countOf(frames, "readAll 0"), 0);
    EXPECT_EQ(countOf(frames, "readOutputs 0"), 1)
        << "the continuous readout goes on at the old address";

    tickWithoutScan();
    expectSettings(false);
    EXPECT_EQ(sink.shown.size(), 1u) << "the message comes with every scan only";

    adapter().removeChip(5);
    tickWithScan();
    EXPECT_EQ(countOf(newFrames(), "readAll 0"), 1)
        << "re-read although the address is the old one";
    expectSettings(true);
    EXPECT_EQ(sink.shown.size(), 1u);
}

TEST_F(PollCycleTest, AFailedScanDisablesTheSettingsAndTheReturningChipIsReadAgain) {
    startSimulated();
    tickWithScan();
    adapter().removeChip(0);
    transcript().clear();

    tickWithScan();
    expectSettings(false);
    EXPECT_EQ(device->chipAddress(), 0);
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(dependentGroupsEnabled(), (std::vector<bool>{false, false, false, false}));

    adapter().addChip(0);
    transcript().clear();
    tickWithScan();
    EXPECT_EQ(countOf(newFrames(), "readAll 0"), 1);
    expectSettings(true);
}

// --- connection -----------------------------------------------------------------------------

TEST_F(PollCycleTest, ALostConnectionComesBackWithTheOldChipAndNoReRead) {
    startSimulated();
    tickWithScan();
    // The typical chip drives the linear voltage output and the UVW outputs.
    EXPECT_EQ(dependentGroupsEnabled(), (std::vector<bool>{true, false, true, false}));

    adapter().failCall("FT_Read", FT_IO_ERROR);
    tickWithoutScan();
    EXPECT_EQ(link->adapterHandle(), 0u);
    EXPECT_EQ(statusText(0), "Interface not connected");
    EXPECT_TRUE(link->chipPowered()) << "kept until the next tick";
    for (const char* label : kReadoutLabels) EXPECT_EQ(find<QLabel>(label)->text(), "...") << label;

    adapter().failCall("FT_Read", FT_OK);
    transcript().clear();
    tickWithoutScan();
    EXPECT_NE(link->adapterHandle(), 0u);
    EXPECT_EQ(statusText(1), "Chip is powered");
    expectSettings(true);
    EXPECT_EQ(dependentGroupsEnabled(), (std::vector<bool>{false, false, false, false}));

    tickWithScan();
    EXPECT_EQ(countOf(newFrames(), "readAll 0"), 0);
    EXPECT_EQ(dependentGroupsEnabled(), (std::vector<bool>{false, false, false, false}));
}

TEST_F(PollCycleTest, AnUnpluggedAdapterIsFoundAgainUnpowered) {
    startSimulated();
    tickWithScan();
    adapter().unplug();
    tickWithoutScan();
    tickWithoutScan();
    EXPECT_FALSE(link->chipPowered());
    EXPECT_EQ(statusText(0), "Interface not connected");

    adapter().replug();
    tickWithoutScan();
    EXPECT_EQ(statusText(0), "Interface connected");
    EXPECT_EQ(statusText(1), "Chip is not powered");
    EXPECT_TRUE(enabled("BtnON"));

    find<QPushButton>("BtnON")->click();
    tickWithoutScan();
    EXPECT_EQ(statusText(1), "Chip is powered");
    expectSettings(true);
}

// --- once a second --------------------------------------------------------------------------

TEST_F(PollCycleTest, FirstTickClearsShowDisplayForTheHiddenPanelAndLaterTicksLeaveIt) {
    startSimulated();
    FakePanel panel;
    window->setAnaloguePanel(&panel);
    transcript().clear();

    tickWithoutScan();
    EXPECT_FALSE(find<QCheckBox>("cbDisplay")->isChecked());
    EXPECT_EQ(panel.calls, (std::vector<std::string>{"needles", "load layout", "repaint", "hide",
                                                     "load layout", "needles"}));
    EXPECT_EQ(transcript().frames(), (std::vector<std::string>{"readOutputs 0", "readOutputs 0"}));
    EXPECT_EQ(window->LastSecondTick, static_cast<std::uint32_t>(clock.tickCount()));

    // The mark agrees with the panel from now on.
    panel.calls.clear();
    tickAt(clock.nowNs() / kNsPerMs + 1001);
    EXPECT_EQ(panel.calls, std::vector<std::string>{"needles"});

    // The panel shown from elsewhere: the next once-a-second step checks the box.
    panel.visible = true;
    panel.calls.clear();
    tickAt(clock.nowNs() / kNsPerMs + 50);
    EXPECT_FALSE(find<QCheckBox>("cbDisplay")->isChecked()) << "not yet a second";
    tickAt(clock.nowNs() / kNsPerMs + 1001);
    EXPECT_TRUE(find<QCheckBox>("cbDisplay")->isChecked());
}

TEST_F(PollCycleTest, OnceASecondWorkRunsRightAfterBootAndAcrossTheWrapOfTheTickCount) {
    constexpr std::int64_t kWrapMs = std::int64_t{1} << 32;
    const struct {
        const char* name;
        std::int64_t startMs;
        std::int64_t firstTickMs;
        std::int64_t laterTickMs;
    } cases[] = {
        {"just after boot", 0, 50, 1200},
        {"across the wrap", kWrapMs - 1600, kWrapMs - 1500, kWrapMs + 200},
    };
    FakePanel panel;
    for (const auto& c : cases) {
        window.reset();
        clock.setNs(c.startMs * kNsPerMs);
        startSimulated();
        window->setAnaloguePanel(&panel);
        panel.visible = false;

        tickAt(c.firstTickMs);
        EXPECT_FALSE(find<QCheckBox>("cbDisplay")->isChecked()) << c.name;
        panel.visible = true;
        tickAt(c.laterTickMs);
        EXPECT_TRUE(find<QCheckBox>("cbDisplay")->isChecked()) << c.name;
    }
}

// --- power buttons and the wait for an idle cycle ---------------------------------------------

TEST_F(PollCycleTest, PowerOffSwitchesTheSupplyOffAndBlanksTheReadout) {
    startSimulated();
    tickWithScan();
    transcript().clear();

    clickPowerOff();

    EXPECT_EQ(transcript().frames(), (std::vector<std::string>{"power off", "query power"}));
    EXPECT_FALSE(link->chipPowered());
    for (const char* label : kReadoutLabels) EXPECT_EQ(find<QLabel>(label)->text(), "...") << label;
}

struct PowerOnCase {
    const char* name;
    std::vector<std::uint8_t> chips;
    std::vector<std::string> frames;
    std::vector<std::string> messages;
    int chipAddress;
};

void PrintTo(const PowerOnCase& c, std::ostream* out) {
    *out << c.name;
}

class PowerOnTest : public PollCycleTest, public ::testing::WithParamInterface<PowerOnCase> {};

TEST_P(PowerOnTest, SwitchesOnScansAndReadsASingleChip) {
    const PowerOnCase& c = GetParam();
    startSimulated();
    tickWithScan();
    clickPowerOff();
    tickWithoutScan();  // "Power ON" is operable from the next tick on
    adapter().bus().removeAllChips();
    for (auto address : c.chips) adapter().addChip(address);
    sink.clear();
    transcript().clear();

    find<QPushButton>("BtnON")->click();

    EXPECT_EQ(transcript().frames(), c.frames);
    EXPECT_EQ(sink.texts(), c.messages);
    EXPECT_EQ(device->chipAddress(), c.chipAddress);
    EXPECT_TRUE(link->chipPowered());
    EXPECT_TRUE(enabled("BtnON"));
}

INSTANTIATE_TEST_SUITE_P(
    Chips, PowerOnTest,
    ::testing::Values(
        PowerOnCase{
            "SameChip", {0}, {"power on", "query power", "scan", "R 0 48", "readAll 0"}, {}, 0},
        PowerOnCase{
            "OtherChip", {9}, {"power on", "query power", "scan", "R 9 48", "readAll 9"}, {}, 9},
        PowerOnCase{"TwoChips", {0, 5}, {"power on", "query power", "scan"}, {kTooManyChips}, 0},
        PowerOnCase{"NoChip", {}, {"power on", "query power", "scan"}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PollCycleTest, WaitPollIdleRefusesAtOnceWhileATickIsUnfinished) {
    startSimulated();
    EXPECT_TRUE(window->WaitPollIdle());

    // The unfinished tick is further down this stack: nothing run from here can end it.
    window->PollBusy = true;
    bool eventsRan = false;
    QTimer::singleShot(0, window.get(), [&] { eventsRan = true; });
    EXPECT_FALSE(window->WaitPollIdle());
    EXPECT_FALSE(eventsRan);
    QCoreApplication::processEvents();
    EXPECT_TRUE(eventsRan) << "the event was there to be run";
    window->PollBusy = false;
}

TEST_F(PollCycleTest, ATickIsBusyWithTheTimerStoppedUntilItEndsAndThenRearmsIt) {
    startSimulated();
    adapter().addChip(5);  // the scan's box shows the tick from inside
    bool busyInBox = false;
    bool timerRunningInBox = true;
    boxes.whileUp = [&] {
        busyInBox = window->PollBusy;
        timerRunningInBox = pollTimer()->isActive();
    };
    clock.setNs((nextSecondMs() + 10) * kNsPerMs);

    window->Timer1Timer();

    ASSERT_EQ(sink.texts(), std::vector<std::string>{kTooManyChips});
    EXPECT_TRUE(busyInBox);
    EXPECT_FALSE(timerRunningInBox);
    EXPECT_FALSE(window->PollBusy);
    EXPECT_TRUE(pollTimer()->isActive());
    EXPECT_EQ(pollTimer()->interval(), 50);
}

TEST_F(PollCycleTest, PowerOnDuringAnUnfinishedTickTalksToNoChip) {
    startSimulated();
    tickWithScan();
    clickPowerOff();
    tickWithoutScan();
    transcript().clear();
    window->PollBusy = true;  // a tick stuck further down the stack

    find<QPushButton>("BtnON")->click();

    EXPECT_TRUE(transcript().frames().empty());
    EXPECT_FALSE(link->chipPowered());
    EXPECT_TRUE(enabled("BtnON"));
}

}  // namespace
}  // namespace qe::ui::test
