#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "configuration_comparison.h"

namespace qe::chip {
namespace {

// Words 48..51 as given, 52..55 zero.
using SettingsWords = std::array<std::uint16_t, 4>;

ConfigurationWords configuration(const SettingsWords& settings) {
    ConfigurationWords words{};
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = i < 4 ? settings[i] : 0;
    return words;
}

std::string shown(const std::optional<FieldValue>& value) {
    return value ? value->text : "-";
}

// The field rows, then the bits without a field.
std::vector<ComparedRow> settingRows(const ConfigurationWords& left,
                                     const ConfigurationWords& right) {
    const ConfigurationComparison comparison = compareConfigurations(left, right);
    std::vector<ComparedRow> rows = comparison.fields;
    rows.insert(rows.end(), comparison.bitsWithoutAField.begin(),
                comparison.bitsWithoutAField.end());
    return rows;
}

// The rows that differ, as "field: left -> right".
std::vector<std::string> differences(const ConfigurationWords& left,
                                     const ConfigurationWords& right) {
    std::vector<std::string> out;
    for (const ComparedRow& row : settingRows(left, right))
        if (row.differs)
            out.push_back(row.name + ": " + shown(row.left) + " -> " + shown(row.right));
    return out;
}

std::vector<std::string> differences(const SettingsWords& left, const SettingsWords& right) {
    return differences(configuration(left), configuration(right));
}

const SettingsWords kTypical{0x0205, 0x1800, 0x0005, 0x8047};

TEST(ConfigurationComparison, EveryFieldOnceInTheOrderOfTheWordsWithThePanelsTexts) {
    const std::vector<ComparedRow> rows =
        settingRows(configuration(kTypical), configuration(kTypical));
    std::vector<std::string> texts;
    for (const ComparedRow& row : rows) {
        EXPECT_FALSE(row.differs) << row.name;
        EXPECT_EQ(shown(row.left), shown(row.right));
        texts.push_back(row.name + " " + shown(row.left));
    }
    EXPECT_EQ(texts,
              (std::vector<std::string>{
                  "ADDR 5", "Reg35 3 V", "Pdee Enabled", "Pdtr 1:128", "AGCdis Enabled",
                  "Pdint Enabled", "Zin 2048", "Sign CCW", "MONAGC 0", "BufSel UVW, tacho dir",
                  "Abridis Enabled", "Hyst 5 (0.44\xC2\xB0)", "Res 32", "UVW 1", "Sth 1024",
                  "SSIcfg Single data, no ring register", "Dac 360\xC2\xB0", "Dact Tacho"}));
}

TEST(ConfigurationComparison, MarksEachDifferenceWithBothSidesTexts) {
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

// A short file lacks its last words: their fields and words differ from a side that has them,
// shown as "-", and no bits-without-a-field row is made for a word one side lacks.
TEST(ConfigurationComparison, AWordOneSideLacksDiffersAndShowsAsMissing) {
    ConfigurationWords shortFile = configuration(kTypical);
    shortFile[3].reset();
    for (std::size_t i = 4; i < shortFile.size(); ++i) shortFile[i].reset();
    ConfigurationWords chip = configuration({0x0205, 0x1800, 0x0005, 0x8647});
    EXPECT_EQ(differences(shortFile, chip),
              (std::vector<std::string>{"Res: - -> 32", "UVW: - -> 1", "Sth: - -> 1024",
                                        "SSIcfg: - -> Single data, no ring register",
                                        "Dac: - -> 360\xC2\xB0", "Dact: - -> Tacho"}));
    std::vector<std::string> words;
    for (const ComparedRow& row : compareConfigurations(shortFile, chip).words)
        words.push_back(row.name + " " + shown(row.left) + " " + shown(row.right) +
                        (row.differs ? " *" : ""));
    EXPECT_EQ(words, (std::vector<std::string>{"48 0x0205 0x0205", "49 0x1800 0x1800",
                                               "50 0x0005 0x0005", "51 - 0x8647 *", "52 - 0x0000 *",
                                               "53 - 0x0000 *", "54 - 0x0000 *", "55 - 0x0000 *"}));
    EXPECT_TRUE(differences(shortFile, shortFile).empty());
}

// The whole words differ where any bit does, fields or not; words 52..55 too.
TEST(ConfigurationComparison, WholeWordsAsHexWithTheirNumbers) {
    ConfigurationWords left = configuration(kTypical);
    ConfigurationWords right = configuration(kTypical);
    right[2] = 0x0085;  // a bit without a field
    right[7] = 0xBEEF;
    const ConfigurationComparison comparison = compareConfigurations(left, right);
    std::vector<std::string> differing;
    for (const ComparedRow& row : comparison.words)
        if (row.differs)
            differing.push_back(row.name + ": " + shown(row.left) + " -> " + shown(row.right));
    EXPECT_EQ(differing,
              (std::vector<std::string>{"50: 0x0005 -> 0x0085", "55: 0x0000 -> 0xBEEF"}));
    EXPECT_EQ(differences(left, right),
              (std::vector<std::string>{"Word 50 bits without a field: 0x0000 -> 0x0080"}));
}

TEST(ConfigurationComparison, WordsOfTheImageWorkingAndEeprom) {
    RegisterImage image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint16_t>(i * 3);
    const ConfigurationWords working = workingWords(image);
    const ConfigurationWords eeprom = eepromWords(image);
    for (std::size_t i = 0; i < working.size(); ++i) {
        EXPECT_EQ(working[i], image[kFirstWorkingWord + i]);
        EXPECT_EQ(eeprom[i], image[i]);
    }
}

}  // namespace
}  // namespace qe::chip
