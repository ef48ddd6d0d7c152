#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "field_catalogue.h"

namespace qe::chip {
namespace {

// --- the catalogue ----------------------------------------------------------------------

// Every field of words 48..51 once, in register and bit order, with how it is changed; the
// settings are the panel's groups in the same order.
TEST(FieldCatalogue, EveryFieldOnceInRegisterAndBitOrder) {
    using enum FieldKind;
    const std::vector<std::pair<std::string, FieldKind>> expected{
        {"ADDR", Address},    {"Reg35", Setting},  {"Pdee", Setting},     {"Pdtr", Setting},
        {"AGCdis", Setting},  {"Pdint", Setting},  {"Zin", ZeroPosition}, {"Sign", Setting},
        {"MONAGC", ReadOnly}, {"BufSel", Setting}, {"Abridis", Setting},  {"Hyst", Hysteresis},
        {"Res", Setting},     {"UVW", Setting},    {"Sth", Setting},      {"SSIcfg", Setting},
        {"Dac", Setting},     {"Dact", Setting},
    };
    std::vector<std::pair<std::string, FieldKind>> listed;
    std::uint32_t previous = 0;
    std::array<std::uint16_t, 4> owned{};
    for (const WorkingField& field : workingFields()) {
        listed.emplace_back(field.key, field.kind);
        const std::uint32_t position = field.field.word * 16u + field.field.firstBit;
        EXPECT_GE(position, previous) << field.key;
        previous = position;
        auto& bits = owned.at(field.field.word - kFirstWorkingWord);
        EXPECT_EQ(bits & field.field.mask(), 0) << field.key << " overlaps another field";
        bits |= field.field.mask();
        EXPECT_EQ(field.items.empty(), field.kind != Setting) << field.key;
    }
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(fieldNameList(),
              "ADDR, Reg35, Pdee, Pdtr, AGCdis, Pdint, Zin, Sign, MONAGC, BufSel, Abridis, Hyst, "
              "Res, UVW, Sth, SSIcfg, Dac, Dact");
    EXPECT_EQ(settingGroups().size(), 14u);
}

TEST(FieldCatalogue, FoundByNameInAnyCaseOnlyTheSettingsAsGroups) {
    ASSERT_NE(findWorkingField("ssicfg"), nullptr);
    EXPECT_EQ(findWorkingField("ssicfg"), findSettingGroup("SSIcfg"));
    EXPECT_STREQ(findWorkingField("HYST")->key, "Hyst");
    EXPECT_EQ(findWorkingField("Speed"), nullptr);
    EXPECT_EQ(findSettingGroup("Hyst"), nullptr);
    EXPECT_EQ(findSettingGroup("ADDR"), nullptr);
    EXPECT_EQ(eepromCopy(fields::Dact).word, 3);
    EXPECT_EQ(eepromCopy(fields::Dact).mask(), fields::Dact.mask());
}

TEST(FieldCatalogue, ShowsValuesAsThePanelAndNoTwoValuesAlike) {
    const struct {
        const char* field;
        std::uint16_t word;
        std::uint16_t value;
        const char* text;
    } cases[] = {
        {"Reg35", 0x0100, 1, "3.3 V"},
        {"Reg35", 0x0000, 0, "3 V"},
        // Value 2 shows as item 0 on the panel; its text still says which value it is.
        {"SSIcfg", 0x1000, 2, "Single data, no ring register (value 2)"},
        {"SSIcfg", 0x0000, 0, "Single data, no ring register"},
        {"SSIcfg", 0x1800, 3, "Ring register, position refreshed"},
        {"Dact", 0x8000, 1, "Tacho"},
        {"Dac", 0x6000, 3, "45\u00B0"},
        {"Hyst", 0x000A, 10, "10 (0.88\u00B0)"},
        {"ADDR", 0x0185, 5, "5"},
        {"Zin", 0x54D2, 1234, "1234"},
        {"MONAGC", 0x2000, 1, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        const FieldValue shown = decodeField(*findWorkingField(c.field), c.word);
        EXPECT_EQ(shown.value, c.value);
        EXPECT_EQ(shown.text, c.text);
    }
    for (const WorkingField& field : workingFields()) {
        std::set<std::string> texts;
        for (std::uint32_t value = 0; value <= field.field.maxValue(); ++value)
            texts.insert(
                decodeField(field, withField(0, field.field, static_cast<std::uint16_t>(value)))
                    .text);
        EXPECT_EQ(texts.size(), field.field.maxValue() + 1u) << field.key;
    }
}

// --- the settings panel's groups ----------------------------------------------------------

struct GroupCase {
    const char* key;
    std::uint8_t word;
    std::uint16_t mask;
    std::vector<std::string> items;
    const char* failure;
    Derived derived;
};

TEST(SettingGroups, TheFourteenGroupsAsDesigned) {
    const std::vector<GroupCase> expected = {
        {"Reg35", 48, 0x0100, {"3.3 V", "3 V"}, "REG35 change was unsuccessful.", Derived::None},
        {"Pdee",
         48,
         0x0200,
         {"Disabled", "Enabled"},
         "PDEE change was unsuccessful.",
         Derived::None},
        {"Pdtr",
         48,
         0x0C00,
         {"1:128", "1:256", "1:512", "1:1024"},
         "PDTR change was unsuccessful.",
         Derived::None},
        {"AGCdis",
         48,
         0x4000,
         {"Enabled", "Disabled"},
         "AGCdis change was unsuccessful.",
         Derived::None},
        {"Pdint",
         48,
         0x8000,
         {"Enabled", "Disabled"},
         "PDint change was unsuccessful.",
         Derived::None},
        {"Sign", 49, 0x1000, {"CW", "CCW"}, "SIGN change was unsuccessful.", Derived::None},
        {"BufSel",
         49,
         0x4000,
         {"UVW, tacho dir", "Sinusoidal diff."},
         "BufSel change was unsuccessful.",
         Derived::None},
        {"Abridis",
         49,
         0x8000,
         {"Enabled", "Disabled"},
         "ABRiDis change was unsuccessful.",
         Derived::None},
        {"Res",
         51,
         0x0007,
         {"4096", "2048", "1024", "512", "256", "128", "64", "32"},
         "Reslution change was unsuccessful.",
         Derived::Resolution},
        {"UVW",
         51,
         0x0038,
         {"1", "2", "3", "4", "5", "6", "7", "8"},
         "UVW change was unsuccessful.",
         Derived::None},
        {"Sth",
         51,
         0x01C0,
         {"2048", "1024", "512", "256", "128", "64", "32", "16"},
         "STH change was unsuccessful.",
         Derived::TachoRange},
        {"SSIcfg",
         51,
         0x1800,
         {"Single data, no ring register", "Ring register, position not refreshed",
          "Ring register, position refreshed"},
         "SSI mode change was unsuccessful.",
         Derived::None},
        {"Dac",
         51,
         0x6000,
         {"360\u00B0", "180\u00B0", "90\u00B0", "45\u00B0"},
         "DAC change was unsuccessful.",
         Derived::None},
        {"Dact",
         51,
         0x8000,
         {"Linear voltage", "Tacho"},
         "DACT change was unsuccessful.",
         Derived::None},
    };
    const auto& groups = settingGroups();
    ASSERT_EQ(groups.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const GroupCase& e = expected[i];
        const SettingGroup& g = groups[i];
        SCOPED_TRACE(e.key);
        EXPECT_STREQ(g.key, e.key);
        EXPECT_EQ(g.field.word, e.word);
        EXPECT_EQ(g.field.mask(), e.mask);
        EXPECT_EQ(g.items, e.items);
        EXPECT_STREQ(g.failureMessage, e.failure);
        EXPECT_EQ(g.derived, e.derived);
        EXPECT_EQ(findSettingGroup(e.key), &g);
    }
    EXPECT_EQ(findSettingGroup("Nothing"), nullptr);
}

TEST(SettingGroups, DegreeSignIsUtf8) {
    EXPECT_EQ(findSettingGroup("Dac")->items[0], std::string("360\xC2\xB0"));
}

// Every item of every group, written into a word and shown again, comes back as itself,
// and every item of a group writes a different value.
TEST(SettingGroups, EveryItemRoundTripsThroughTheChipWord) {
    for (const SettingGroup& g : settingGroups()) {
        SCOPED_TRACE(g.key);
        std::set<std::uint16_t> written;
        for (int item = 0; item < static_cast<int>(g.items.size()); ++item) {
            RegisterImage image{};
            image[g.field.word] = wordForItem(g, 0x0000, item);
            EXPECT_EQ(itemShown(g, image), item);
            written.insert(fieldValue(image, g.field));
        }
        EXPECT_EQ(written.size(), g.items.size());
    }
}

struct ChoiceCase {
    const char* key;
    std::uint16_t word;  // the chip's word before the change
    int shown;           // the item the group shows for it
    int chosen;
    std::uint16_t written;
};

TEST(SettingGroups, ChoosingAnItemRewritesOnlyTheField) {
    const ChoiceCase cases[] = {
        // SSIcfg 2 shows item 0; "Ring register, position refreshed" then writes 3.
        {"SSIcfg", 0x1000, 0, 2, 0x1800},  {"SSIcfg", 0xE7FF, 0, 1, 0xEFFF},
        {"Reg35", 0x0100, 0, 1, 0x0000},   {"Reg35", 0x0000, 1, 0, 0x0100},
        {"Pdtr", 0x0205, 0, 2, 0x0A05},    {"Pdee", 0x0205, 1, 0, 0x0005},
        {"Sign", 0x2000, 0, 1, 0x3000},    {"BufSel", 0x7FFF, 1, 0, 0x3FFF},
        {"Res", 0xFFF8, 0, 7, 0xFFFF},     {"Sth", 0x0000, 0, 7, 0x01C0},
        {"Dac", 0x9FFF, 0, 3, 0xFFFF},     {"Dact", 0x8000, 1, 0, 0x0000},
        {"Abridis", 0x0000, 0, 1, 0x8000},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << " item " << c.chosen);
        const SettingGroup* g = findSettingGroup(c.key);
        ASSERT_NE(g, nullptr);
        RegisterImage image{};
        image[g->field.word] = c.word;
        EXPECT_EQ(itemShown(*g, image), c.shown);
        EXPECT_EQ(wordForItem(*g, c.word, c.chosen), c.written);
    }
}

struct DependentCase {
    const char* group;
    int item;
    std::vector<std::pair<std::string, bool>> enabled;
};

TEST(SettingGroups, DependentControlsFollowTheSelection) {
    const DependentCase cases[] = {
        {"Pdee", 0, {{"Pdtr", false}}},
        {"Pdee", 1, {{"Pdtr", true}}},
        {"BufSel", 0, {{"UVW", true}}},
        {"BufSel", 1, {{"UVW", false}}},
        {"Dact", 0, {{"Dac", true}, {"Sth", false}}},
        {"Dact", 1, {{"Dac", false}, {"Sth", true}}},
    };
    for (const DependentCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.group << " item " << c.item);
        const SettingGroup* g = findSettingGroup(c.group);
        ASSERT_NE(g, nullptr);
        ASSERT_EQ(g->dependents.size(), c.enabled.size());
        for (std::size_t i = 0; i < c.enabled.size(); ++i) {
            EXPECT_EQ(g->dependents[i].key, c.enabled[i].first);
            EXPECT_EQ(dependentEnabled(g->dependents[i], c.item), c.enabled[i].second);
        }
    }
    int withDependents = 0;
    for (const SettingGroup& g : settingGroups()) withDependents += !g.dependents.empty();
    EXPECT_EQ(withDependents, 3);
}

}  // namespace
}  // namespace qe::chip
