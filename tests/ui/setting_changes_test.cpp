// The fourteen radio groups: read-modify-write of their field, side effects, failures.
#include <QTimer>
#include <cstdio>
#include <set>

#include "chip_actions_fixture.h"
#include "setting_controls.h"

namespace qe::ui::test {
namespace {

std::string hex(std::uint16_t word) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", word);
    return text;
}

std::vector<std::string> readModifyWrite(int reg, std::uint16_t written) {
    const std::string r = std::to_string(reg);
    return {"R 0 " + r, "W 0 " + r + " " + hex(written), "R 0 " + r};
}

struct GroupCase {
    const char* control;
    int item;
    std::uint8_t word;
    std::uint16_t chipWord;  // every bit outside the field shows whether it is kept
    std::uint16_t written;
};

void PrintTo(const GroupCase& c, std::ostream* out) {
    *out << c.control << " item " << c.item;
}

// Word 48 keeps ADDR 0, so the chip stays where the window addresses it.
const GroupCase kGroupCases[] = {
    {"RgREG35", 1, 48, 0xFF80, 0xFE80},    // "3 V" clears Reg35
    {"RgPdee", 1, 48, 0xFD80, 0xFF80},     // "Enabled"
    {"RgPDTR", 2, 48, 0xF380, 0xFB80},     // "1:512"
    {"RgAGCDis", 1, 48, 0xBF80, 0xFF80},   // "Disabled"
    {"RgPDint", 1, 48, 0x7F80, 0xFF80},    // "Disabled"
    {"RgSign", 1, 49, 0x2ABC, 0x3ABC},     // "CCW", MONAGC kept
    {"RgBufSel", 1, 49, 0xAFFF, 0xEFFF},   // "Sinusoidal diff."
    {"RgABRiDis", 1, 49, 0x7FFF, 0xFFFF},  // "Disabled"
    {"RgACC", 5, 51, 0xFFF8, 0xFFFD},      // "128"
    {"RgUVW", 3, 51, 0xFFC7, 0xFFDF},      // 4 pole pairs
    {"RgSTH", 2, 51, 0xFE3F, 0xFEBF},      // "512" Hz
    {"RgSSI", 2, 51, 0x0000, 0x1800},      // "Ring register, position refreshed" writes 3
    {"RgSSI", 1, 51, 0x1000, 0x0800},      // a chip holding value 2 gets 1
    {"RgDAC", 1, 51, 0x9FFF, 0xBFFF},      // "180°"
    {"RgDACT", 1, 51, 0x7FFF, 0xFFFF},     // "Tacho"
};

class GroupChangeTest : public ChipActionsTest, public ::testing::WithParamInterface<GroupCase> {
protected:
    void chooseItem() {
        const GroupCase& c = GetParam();
        chip().write(c.word, c.chipWord);
        ASSERT_NE(group(c.control)->itemIndex(), c.item) << "the choice must be a change";
        group(c.control)->setItemIndex(c.item);
    }
};

TEST_P(GroupChangeTest, WritesTheFieldKeepingEveryOtherBitAndReadsTheWordBack) {
    const GroupCase& c = GetParam();
    chooseItem();

    EXPECT_EQ(newFrames(), readModifyWrite(c.word, c.written));
    EXPECT_EQ(chip().workingWord(c.word), c.written);
    EXPECT_EQ(image()[c.word], c.written);
    EXPECT_TRUE(sink.shown.empty());
}

TEST_P(GroupChangeTest, ARefusedWriteShowsTheGroupsMessageAndLeavesTheChipsWord) {
    const GroupCase& c = GetParam();
    adapter().refuseWritesTo(c.word);
    chooseItem();

    EXPECT_EQ(newFrames(),
              (std::vector<std::string>{"R 0 " + std::to_string(c.word),
                                        "W 0 " + std::to_string(c.word) + " " + hex(c.written)}));
    EXPECT_EQ(chip().workingWord(c.word), c.chipWord);
    EXPECT_EQ(image()[c.word], c.chipWord);
    EXPECT_EQ(sink.shown, errors({settingGroupForControl(c.control)->failureMessage}));
    EXPECT_EQ(group(c.control)->itemIndex(), c.item) << "the choice is not turned back";
}

TEST_P(GroupChangeTest, AWordTheChipDidNotReportIsNeverWritten) {
    const GroupCase& c = GetParam();
    adapter().loseNextReply();
    chooseItem();

    EXPECT_EQ(newFrames(), std::vector<std::string>{"R 0 " + std::to_string(c.word)});
    EXPECT_EQ(chip().workingWord(c.word), c.chipWord);
    EXPECT_EQ(sink.shown, errors({settingGroupForControl(c.control)->failureMessage}));
}

INSTANTIATE_TEST_SUITE_P(Groups, GroupChangeTest, ::testing::ValuesIn(kGroupCases),
                         [](const auto& info) {
                             return std::string(info.param.control) + "Item" +
                                    std::to_string(info.param.item);
                         });

TEST_F(ChipActionsTest, EveryGroupOnThePanelIsCovered) {
    std::set<std::string> covered;
    for (const GroupCase& c : kGroupCases) covered.insert(c.control);
    for (const chip::SettingGroup& setting : chip::settingGroups())
        EXPECT_TRUE(covered.contains(settingControlName(setting.key))) << setting.key;
}

// --- side effects -----------------------------------------------------------------------

struct SideEffectCase {
    const char* control;
    int from;
    int to;
    std::vector<std::pair<const char*, bool>> enabled;
    chip::DerivedValues derived;  // expected; the test starts from {1, 1, 1.0}
};

void PrintTo(const SideEffectCase& c, std::ostream* out) {
    *out << c.control << " item " << c.to;
}

class SideEffectTest : public ChipActionsTest,
                       public ::testing::WithParamInterface<SideEffectCase> {};

// The chip refuses every write, and still the panel follows the choice.
TEST_P(SideEffectTest, StandsWhateverTheOutcomeOfTheWrite) {
    const SideEffectCase& c = GetParam();
    showItem(c.control, c.from);
    for (const auto& [name, enabled] : c.enabled) find(name)->setEnabled(!enabled);
    derived() = {1, 1, 1.0};
    for (std::uint8_t reg : {48, 49, 51}) adapter().refuseWritesTo(reg);

    group(c.control)->setItemIndex(c.to);

    for (const auto& [name, enabled] : c.enabled)
        EXPECT_EQ(find(name)->isEnabled(), enabled) << name;
    EXPECT_EQ(derived().ResolutionCounts, c.derived.ResolutionCounts);
    EXPECT_EQ(derived().ResolutionBits, c.derived.ResolutionBits);
    EXPECT_EQ(derived().TachoRangeHz, c.derived.TachoRangeHz);
    EXPECT_EQ(sink.texts(),
              std::vector<std::string>{settingGroupForControl(c.control)->failureMessage});
}

INSTANTIATE_TEST_SUITE_P(
    Groups, SideEffectTest,
    ::testing::Values(
        SideEffectCase{"RgPdee", 0, 1, {{"RgPDTR", true}}, {1, 1, 1.0}},
        SideEffectCase{"RgPdee", 1, 0, {{"RgPDTR", false}}, {1, 1, 1.0}},
        SideEffectCase{"RgBufSel", 0, 1, {{"RgUVW", false}}, {1, 1, 1.0}},
        SideEffectCase{"RgBufSel", 1, 0, {{"RgUVW", true}}, {1, 1, 1.0}},
        SideEffectCase{"RgDACT", 0, 1, {{"RgDAC", false}, {"RgSTH", true}}, {1, 1, 1.0}},
        SideEffectCase{"RgDACT", 1, 0, {{"RgDAC", true}, {"RgSTH", false}}, {1, 1, 1.0}},
        SideEffectCase{"RgACC", 0, 7, {}, {32, 5, 1.0}},
        SideEffectCase{"RgACC", 7, 1, {}, {2048, 11, 1.0}},
        SideEffectCase{"RgSTH", 0, 7, {}, {1, 1, 16.0}},
        SideEffectCase{"RgSTH", 7, 3, {}, {1, 1, 256.0}},
        SideEffectCase{"RgSign", 0, 1, {}, {1, 1, 1.0}}),
    [](const auto& info) {
        return std::string(info.param.control) + "Item" + std::to_string(info.param.to);
    });

// --- tacho scale --------------------------------------------------------------------------

TEST_F(ChipActionsTest, ANewTachoRangeRedrawsThePanelsTachoScaleOnlyWhenShownAndWritten) {
    const struct {
        const char* name;
        bool tachoScale;
        bool refused;
        int drawings;
    } cases[] = {
        {"tacho scale shown", true, false, 1},
        {"position scale shown", false, false, 0},
        {"write refused", true, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScalePanel panel;
        panel.tachoScale = c.tachoScale;
        window->setAnaloguePanel(&panel);
        if (c.refused) adapter().refuseWritesTo(51);
        showItem("RgSTH", 0);

        group("RgSTH")->setItemIndex(7);

        EXPECT_EQ(panel.tachoScaleDrawings, c.drawings);
        EXPECT_EQ(derived().TachoRangeHz, 16.0) << "drawn for the new range";
        window->setAnaloguePanel(nullptr);
        adapter().clearFaults();
    }
}

TEST_F(ChipActionsTest, ResolutionOrOtherGroupsNeverRedrawTheTachoScale) {
    ScalePanel panel;
    panel.tachoScale = true;
    window->setAnaloguePanel(&panel);

    group("RgACC")->setItemIndex(3);
    group("RgDACT")->setItemIndex(1);

    EXPECT_EQ(panel.tachoScaleDrawings, 0);
    window->setAnaloguePanel(nullptr);
}

// --- when handlers act ------------------------------------------------------------------------

TEST_F(ChipActionsTest, FillingThePanelSelectsItemsButNeverTalksToTheChip) {
    image()[48] = 0xCF05;
    image()[49] = 0xD123;
    image()[50] = 0x0042;
    image()[51] = 0xFFFF;

    window->FillSettingsPanel();

    EXPECT_EQ(group("RgPDTR")->itemIndex(), 3);
    EXPECT_EQ(group("RgDAC")->itemIndex(), 3);
    EXPECT_TRUE(newFrames().empty());
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(ChipActionsTest, AClickDuringAnUnfinishedPollTickTalksToNoChip) {
    window->PollBusy = true;
    group("RgDAC")->setItemIndex(2);
    window->PollBusy = false;
    EXPECT_TRUE(newFrames().empty());

    group("RgDAC")->setItemIndex(1);
    EXPECT_EQ(newFrames(), readModifyWrite(51, 0x21C0));
}

}  // namespace
}  // namespace qe::ui::test
