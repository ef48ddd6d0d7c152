// The full re-read of the chip and the fill of the settings panel from the register mirror.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "chip_actions_fixture.h"
#include "main_window_fixture.h"
#include "radio_group.h"
#include "setting_controls.h"

namespace qe::ui::test {
namespace {

using Frames = std::vector<std::vector<std::uint8_t>>;

std::vector<std::uint8_t> wordBytes(std::uint16_t word) {
    return {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)};
}

class SettingsPanelTest : public MainWindowTest {
protected:
    void SetUp() override { startScripted(); }

    // A chip whose registers read as `chip`; word 48 reads `word48First` before the full read.
    std::vector<std::uint8_t> allRegisterBytes(const RegisterImage& chip) {
        std::vector<std::uint8_t> bytes;
        for (auto word : chip) {
            auto pair = wordBytes(word);
            bytes.insert(bytes.end(), pair.begin(), pair.end());
        }
        return bytes;
    }
    RadioGroup* group(const char* name) { return find<RadioGroup>(name); }
};

TEST_F(SettingsPanelTest, ReadsWordFortyEightThenEverythingWhenPowerDownModeIsOff) {
    RegisterImage chip{};
    chip[48] = 0x0103;
    scripted->replyToNextWrite(wordBytes(chip[48]));
    scripted->replyToNextWrite(allRegisterBytes(chip));
    setChipAddress(3);

    window->RefreshSettingsPanel();

    EXPECT_EQ(scripted->frames(), (Frames{{89, 7, 48}, {87, 6}}));
    EXPECT_EQ(find<QLineEdit>("EdNaslovCipa")->text(), "3");
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(SettingsPanelTest, SwitchesPowerDownModeOffForTheReadAndBackOn) {
    RegisterImage chip{};
    chip[48] = 0x0005;  // as the chip reads once the mode is off
    scripted->replyToNextWrite(wordBytes(0x0205));
    scripted->replyToNextWrite({1});
    scripted->replyToNextWrite(allRegisterBytes(chip));
    scripted->replyToNextWrite({1});

    window->RefreshSettingsPanel();

    EXPECT_EQ(scripted->frames(),
              (Frames{{89, 1, 48}, {89, 0, 48, 0x00, 0x05}, {87, 0}, {89, 0, 48, 0x02, 0x05}}));
    EXPECT_EQ(image()[48], 0x0205);
    EXPECT_EQ(group("RgPdee")->itemIndex(), 1);
    EXPECT_TRUE(group("RgPDTR")->isEnabled());
}

struct FailedReadCase {
    const char* name;
    std::vector<std::vector<std::uint8_t>> replies;  // to the writes in order; none = silence
    Frames frames;
    std::uint16_t word48;  // the mirror's afterwards
};

void PrintTo(const FailedReadCase& c, std::ostream* out) {
    *out << c.name;
}

class FailedRefreshTest : public SettingsPanelTest,
                          public ::testing::WithParamInterface<FailedReadCase> {};

TEST_P(FailedRefreshTest, ShowsTheMessageAndLeavesThePanelAsItWas) {
    for (const auto& reply : GetParam().replies) scripted->replyToNextWrite(reply);
    window->PanelReady = false;  // selected as a fill would, so that no setting handler acts
    group("RgACC")->setItemIndex(2);
    window->PanelReady = true;
    derived() = {1024, 10, 512.0};

    window->RefreshSettingsPanel();

    EXPECT_EQ(scripted->frames(), GetParam().frames);
    EXPECT_EQ(sink.texts(), std::vector<std::string>{"The reading was unsuccessful."});
    EXPECT_EQ(sink.shown[0].first, MessageKind::Error);
    EXPECT_EQ(group("RgACC")->itemIndex(), 2);
    EXPECT_EQ(derived().ResolutionCounts, 1024);
    EXPECT_EQ(image()[48], GetParam().word48);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedRefreshTest,
    ::testing::Values(
        // Nothing answers: no word came from the chip, so none goes back to it.
        FailedReadCase{"ChipSilent", {}, {{89, 1, 48}, {87, 0}}, 0x0000},
        // The full read fails after power-down mode was switched off: no further write, so
        // the mode stays off in the chip, and in the mirror.
        FailedReadCase{"FullReadFails",
                       {wordBytes(0x0205), {1}, {}},
                       {{89, 1, 48}, {89, 0, 48, 0x00, 0x05}, {87, 0}},
                       0x0005}),
    [](const auto& info) { return std::string(info.param.name); });

struct FillCase {
    const char* name;
    std::array<std::uint16_t, 4> words;  // 48..51
    std::vector<std::pair<const char*, int>> items;
    std::vector<std::pair<const char*, bool>> enabled;
    const char* address;
    const char* zero;
    int hysteresis;
};

void PrintTo(const FillCase& c, std::ostream* out) {
    *out << c.name;
}

class FillTest : public SettingsPanelTest, public ::testing::WithParamInterface<FillCase> {};

TEST_P(FillTest, ShowsEveryFieldAndTheDependentGroupsState) {
    const FillCase& c = GetParam();
    std::copy(c.words.begin(), c.words.end(), image().begin() + 48);

    window->FillSettingsPanel();

    for (const auto& [name, item] : c.items) EXPECT_EQ(group(name)->itemIndex(), item) << name;
    for (const auto& [name, on] : c.enabled) EXPECT_EQ(group(name)->isEnabled(), on) << name;
    EXPECT_EQ(find<QLineEdit>("EdNaslovCipa")->text(), c.address);
    EXPECT_EQ(find<QLineEdit>("EdPosZ")->text(), c.zero);
    EXPECT_EQ(find<QComboBox>("cbHysteresis")->currentIndex(), c.hysteresis);
    EXPECT_TRUE(scripted->calls.empty()) << "filling never talks to the chip";
}

INSTANTIATE_TEST_SUITE_P(
    Words, FillTest,
    ::testing::Values(
        FillCase{"PowerDownEnabled",
                 {0x0205, 0, 0, 0},
                 {{"RgREG35", 1}, {"RgPdee", 1}, {"RgPDTR", 0}, {"RgAGCDis", 0}, {"RgPDint", 0}},
                 {{"RgPDTR", true}},
                 "5",
                 "0",
                 0},
        FillCase{"EveryWord48Field",
                 {0xCD7F, 0, 0, 0},
                 {{"RgREG35", 0}, {"RgPdee", 0}, {"RgPDTR", 3}, {"RgAGCDis", 1}, {"RgPDint", 1}},
                 {{"RgPDTR", false}},
                 "127",
                 "0",
                 0},
        FillCase{"SinusoidalOutputs",
                 {0, 0x4ABC, 0, 5 << 3},
                 {{"RgBufSel", 1}, {"RgUVW", 5}, {"RgSign", 0}, {"RgABRiDis", 0}},
                 {{"RgUVW", false}},
                 "0",
                 "2748",
                 0},
        FillCase{"UvwOutputsCounterClockwise",
                 {0, 0x9000, 0, 0},
                 {{"RgBufSel", 0}, {"RgSign", 1}, {"RgABRiDis", 1}},
                 {{"RgUVW", true}},
                 "0",
                 "0",
                 0},
        FillCase{"TachoOnVout",
                 {0, 0, 0x007F, 0x8000 | 3 << 13 | 7 << 6},
                 {{"RgDACT", 1}, {"RgDAC", 3}, {"RgSTH", 7}},
                 {{"RgDAC", false}, {"RgSTH", true}},
                 "0",
                 "0",
                 127},
        FillCase{"LinearVoltageAndHysteresisBitsIgnored",
                 {0, 0, 0xFF85, 0x0007},
                 {{"RgDACT", 0}, {"RgACC", 7}, {"RgSSI", 0}},
                 {{"RgDAC", true}, {"RgSTH", false}},
                 "0",
                 "0",
                 5},
        FillCase{"SsiValues", {0, 0, 0, 0x1800}, {{"RgSSI", 2}}, {}, "0", "0", 0},
        FillCase{
            "SsiValueTwoShownAsSingleData", {0, 0, 0, 0x1000}, {{"RgSSI", 0}}, {}, "0", "0", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsPanelTest, FillSetsTheDerivedValuesFromTheShownSelection) {
    image()[51] = 0x0007;
    window->FillSettingsPanel();
    EXPECT_EQ(derived().ResolutionCounts, 32);
    EXPECT_EQ(derived().ResolutionBits, 5);
    EXPECT_EQ(derived().TachoRangeHz, 2048.0);

    image()[51] = 7 << 6 | 2;
    window->FillSettingsPanel();
    EXPECT_EQ(derived().ResolutionCounts, 1024);
    EXPECT_EQ(derived().ResolutionBits, 10);
    EXPECT_EQ(derived().TachoRangeHz, 16.0);
}

// After a restart with the tacho scale stored, the scale is drawn before the range is known.
TEST_F(SettingsPanelTest, AFillThatChangesTheTachoRangeRedrawsAShownTachoScale) {
    const struct {
        const char* name;
        bool tachoScale;
        std::uint16_t word51;
        int drawings;
    } cases[] = {
        {"range now known", true, 0x0007, 1},
        {"same range again", true, 0x0007, 0},
        {"position scale shown", false, 7 << 6, 0},
        {"range changed", true, 0x0007, 1},
    };
    for (const auto& c : cases) {
        test::ScalePanel panel;
        panel.tachoScale = c.tachoScale;
        window->setAnaloguePanel(&panel);
        image()[51] = c.word51;
        window->FillSettingsPanel();
        EXPECT_EQ(panel.tachoScaleDrawings, c.drawings) << c.name;
        window->setAnaloguePanel(nullptr);
    }
}

TEST_F(SettingsPanelTest, FillShowsTheControlsInTheDesignedOrder) {
    std::vector<std::string> filled;
    const auto note = [&](const char* name) {
        return [&filled, name] { filled.emplace_back(name); };
    };
    for (const char* name : {"EdNaslovCipa", "EdPosZ"})
        QObject::connect(find<QLineEdit>(name), &QLineEdit::textChanged, window.get(), note(name));
    QObject::connect(find<QComboBox>("cbHysteresis"), &QComboBox::currentIndexChanged, window.get(),
                     note("cbHysteresis"));
    for (const chip::SettingGroup& setting : chip::settingGroups())
        QObject::connect(group(settingControlName(setting.key)), &RadioGroup::clicked, window.get(),
                         note(settingControlName(setting.key)));
    // Every control gets a value other than the one it shows.
    image()[48] = 0x0205;
    image()[49] = 0x0123;
    image()[50] = 0x0005;

    window->FillSettingsPanel();

    EXPECT_EQ(filled, (std::vector<std::string>{"EdNaslovCipa", "RgREG35", "RgPdee", "RgPDTR",
                                                "RgAGCDis", "RgPDint", "EdPosZ", "RgSign",
                                                "RgBufSel", "RgABRiDis", "RgACC", "cbHysteresis",
                                                "RgUVW", "RgSTH", "RgSSI", "RgDAC", "RgDACT"}));
}

TEST_F(SettingsPanelTest, SelectionsRaisedByTheFillSeeThePanelNotReady) {
    std::vector<bool> readySeen;
    for (const chip::SettingGroup& setting : chip::settingGroups())
        QObject::connect(group(settingControlName(setting.key)), &RadioGroup::clicked, window.get(),
                         [&] { readySeen.push_back(window->PanelReady); });
    image()[48] = 0x0205;
    image()[51] = 0x8007;

    window->FillSettingsPanel();

    EXPECT_FALSE(readySeen.empty());
    EXPECT_EQ(std::count(readySeen.begin(), readySeen.end(), true), 0);
    EXPECT_TRUE(window->PanelReady);
}

TEST_F(SettingsPanelTest, FillShowsTheMirrorsReadoutWithFourDecimalsInDegrees) {
    FakePanel panel;
    window->setAnaloguePanel(&panel);
    image()[32] = 1024;
    image()[35] = 256;
    image()[51] = 0x0000;  // 4096 counts, 2048 Hz

    find<QRadioButton>("Rbdegrees")->setChecked(true);
    window->FillSettingsPanel();
    EXPECT_EQ(find<QLabel>("LblPosRel")->text(), "90.0000°");
    EXPECT_EQ(find<QLabel>("LabelPOSdeg")->text(), "90.0000°");
    EXPECT_EQ(find<QLabel>("LabelPOSInc")->text(), "1024 /4096");
    EXPECT_EQ(find<QLabel>("LblTaho")->text(), "512.00 Hz / 30720.0 RPM");
    EXPECT_EQ(find<QLabel>("LblPosRel")->font().pointSize(), 28);
    EXPECT_EQ(panel.needles, (std::pair<double, double>{0.25, 0.25}));

    find<QRadioButton>("RbNumber")->setChecked(true);
    window->FillSettingsPanel();
    EXPECT_EQ(find<QLabel>("LblPosRel")->text(), "1024");
    EXPECT_EQ(find<QLabel>("LabelPOSdeg")->text(), "90.00°");
    EXPECT_TRUE(scripted->calls.empty());
}

}  // namespace
}  // namespace qe::ui::test
