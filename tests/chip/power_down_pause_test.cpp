// Holding the autonomous power-down mode off around other work, and giving it back.
#include <gtest/gtest.h>

#include "link_rig.h"
#include "power_down_pause.h"

namespace qe::chip::test {
namespace {

// Pdee is bit 9 of word 48.
constexpr std::uint16_t kModeOn = 0x0205;
constexpr std::uint16_t kModeOff = 0x0005;

TEST(PowerDownPause, SwitchesTheModeOffOnlyWhenTheChipReportsItOn) {
    const struct {
        const char* name;
        std::vector<Bytes> replies;
        std::vector<Bytes> frames;
        std::optional<std::uint16_t> returned;
        std::uint16_t image48;
    } cases[] = {
        {"mode on",
         {{0x02, 0x05}, {1}},
         {readFrame(48), writeFrame(48, kModeOff)},
         kModeOn,
         kModeOff},
        {"mode off", {{0x00, 0x05}}, {readFrame(48)}, kModeOff, kModeOff},
        // Nothing the chip did not report is written to it.
        {"word not reported", {{}}, {readFrame(48)}, std::nullopt, kUntouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        rig.replies(c.replies);

        EXPECT_EQ(pausePowerDown(rig.link, kChip), c.returned);

        EXPECT_EQ(rig.driver.frames(), c.frames);
        EXPECT_EQ(rig.image[48], c.image48);
        EXPECT_TRUE(rig.sink.shown.empty());
    }
}

TEST(PowerDownPause, GivesTheModeBackAtTheAddressWhereTheChipAnswers) {
    constexpr std::uint8_t kNewAddress = 9;
    const auto writeAtNewAddress = [](std::uint16_t word) {
        return Bytes{'Y', kNewAddress * 2, 48, static_cast<std::uint8_t>(word >> 8),
                     static_cast<std::uint8_t>(word & 0xFF)};
    };
    const struct {
        const char* name;
        std::uint16_t original;
        bool succeeded;
        std::vector<Bytes> replies;
        std::vector<Bytes> frames;
        std::uint16_t image48;
    } cases[] = {
        // The work's word keeps what the work brought (here a new address) and gets the mode.
        {"after success", kModeOn, true, {{1}}, {writeAtNewAddress(0x027F)}, 0x027F},
        // The user's own word goes back, and the mirror follows only what the chip took.
        {"after failure", kModeOn, false, {{1}}, {writeAtNewAddress(kModeOn)}, kModeOn},
        {"after failure, refused", kModeOn, false, {{0}}, {writeAtNewAddress(kModeOn)}, 0x007F},
        // A mode that was off was never paused.
        {"mode was off, success", kModeOff, true, {}, {}, 0x007F},
        {"mode was off, failure", kModeOff, false, {}, {}, 0x007F},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        rig.image[48] = 0x007F;  // as the work left the mirror: address 127, mode off
        rig.replies(c.replies);

        resumePowerDown(rig.link, kNewAddress, c.succeeded, c.original);

        EXPECT_EQ(rig.driver.frames(), c.frames);
        EXPECT_EQ(rig.image[48], c.image48);
        EXPECT_TRUE(rig.sink.shown.empty());
    }
}

}  // namespace
}  // namespace qe::chip::test
