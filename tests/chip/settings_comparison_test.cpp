#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings_comparison.h"

namespace qe::chip {
namespace {

// The rows that differ, as "field: left -> right".
std::vector<std::string> differences(const SettingsWords& left, const SettingsWords& right) {
    std::vector<std::string> out;
    for (const ComparedSetting& row : compareSettings(left, right))
        if (row.differs) out.push_back(row.field + ": " + row.left + " -> " + row.right);
    return out;
}

const SettingsWords kTypical{0x0205, 0x1800, 0x0005, 0x8047};

TEST(SettingsComparison, EveryFieldOnceInTheOrderOfTheWordsWithThePanelsTexts) {
    const std::vector<ComparedSetting> rows = compareSettings(kTypical, kTypical);
    std::vector<std::string> shown;
    for (const ComparedSetting& row : rows) {
        EXPECT_FALSE(row.differs) << row.field;
        EXPECT_EQ(row.left, row.right);
        shown.push_back(row.field + " " + row.left);
    }
    EXPECT_EQ(shown,
              (std::vector<std::string>{
                  "ADDR 5", "Reg35 3 V", "Pdee Enabled", "Pdtr 1:128", "AGCdis Enabled",
                  "Pdint Enabled", "Zin 2048", "Sign CCW", "MONAGC 0", "BufSel UVW, tacho dir",
                  "Abridis Enabled", "Hyst 5 (0.44\xC2\xB0)", "Res 32", "UVW 1", "Sth 1024",
                  "SSIcfg Single data, no ring register", "Dac 360\xC2\xB0", "Dact Tacho"}));
}

TEST(SettingsComparison, MarksEachDifferenceWithBothSidesTexts) {
    const struct {
        const char* what;
        SettingsWords left;
        SettingsWords right;
        std::vector<std::string> differences;
    } cases[] = {
        {"the same", kTypical, kTypical, {}},
        {"address and regulator",
         {0x0105, 0x1800, 5, 0x8047},
         {0x0009, 0x1800, 5, 0x8047},
         {"ADDR: 5 -> 9", "Reg35: 3.3 V -> 3 V"}},
        {"power-down ratio and AGC",
         {0x0805, 0, 0, 0},
         {0x4005, 0, 0, 0},
         {"Pdtr: 1:512 -> 1:128", "AGCdis: Enabled -> Disabled"}},
        {"zero, direction, buffer",
         {0, 0x3FFF, 0, 0},
         {0, 0xC000, 0, 0},
         {"Zin: 4095 -> 0", "Sign: CCW -> CW", "MONAGC: 1 -> 0",
          "BufSel: UVW, tacho dir -> Sinusoidal diff.", "Abridis: Enabled -> Disabled"}},
        {"hysteresis",
         {0, 0, 0x007F, 0},
         {0, 0, 0x0001, 0},
         {"Hyst: 127 (11.16\xC2\xB0) -> 1 (0.09\xC2\xB0)"}},
        {"resolution, poles, tacho range",
         {0, 0, 0, 0x01FF},
         {0, 0, 0, 0x0000},
         {"Res: 32 -> 4096", "UVW: 8 -> 1", "Sth: 16 -> 2048"}},
        {"DAC and its function",
         {0, 0, 0, 0x6000},
         {0, 0, 0, 0x8000},
         {"Dac: 45\xC2\xB0 -> 360\xC2\xB0", "Dact: Linear voltage -> Tacho"}},
        // SSIcfg 2 shows like 0 on the panel; the words still differ and say so.
        {"SSI value the panel never writes",
         {0, 0, 0, 0x1000},
         {0, 0, 0, 0x0000},
         {"SSIcfg: Single data, no ring register (value 2) -> Single data, no ring register"}},
        {"SSI ring registers",
         {0, 0, 0, 0x1800},
         {0, 0, 0, 0x0800},
         {"SSIcfg: Ring register, position refreshed -> Ring register, position not refreshed"}},
        // PROG stores whole words: bits no field names are shown when they differ.
        {"bits without a field",
         {0x3085, 0, 0xFF80, 0x0600},
         {0x0005, 0, 0, 0},
         {"Word 48 bits without a field: 0x3080 -> 0x0000",
          "Word 50 bits without a field: 0xFF80 -> 0x0000",
          "Word 51 bits without a field: 0x0600 -> 0x0000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(differences(c.left, c.right), c.differences);
    }
}

}  // namespace
}  // namespace qe::chip
