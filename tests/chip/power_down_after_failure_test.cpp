// With the autonomous power-down mode on, a refresh, PROG or READ that fails leaves the mode
// off in the chip and in the mirror, and makes no further write to the chip that failed.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link_rig.h"
#include "messages.h"

namespace qe::chip::test {
namespace {

constexpr std::uint16_t kModeOn = 0x0205;   // address 5, Pdee on
constexpr std::uint16_t kModeOff = 0x0005;  // the same word with Pdee off
constexpr std::uint8_t kStoredAddress = 9;

// All 56 words zero except working word 48: EEPROM word 0 differs from it.
Bytes allRegistersWith48(std::uint16_t word48) {
    return allRegistersReply({{48, word48}});
}

TEST(PowerDownAfterFailure, StaysOffInTheChipAndTheMirrorWithNoFurtherWrite) {
    const struct {
        const char* name;
        std::function<Result(ChipSession&)> operation;
        std::vector<Bytes> replies;
        std::vector<Bytes> frames;
        const char* message;
        Outcome outcome;
        std::uint8_t addressAfter;
    } cases[] = {
        {"refresh, full read fails",
         [](ChipSession& s) { return s.refreshSettings(); },
         {wordReply(kModeOn), kAck, kSilence},
         {readFrame(48), writeFrame(48, kModeOff), {'W', kChip * 2}},
         messages::kReadingFailed,
         Outcome::NoReply,
         kChip},
        {"PROG, EEPROM write refused",
         [](ChipSession& s) { return s.programEeprom(); },
         {kAck, kRefused},
         {writeFrame(48, kModeOff), writeFrame(0, kModeOff)},
         messages::kCannotWriteEeprom,
         Outcome::WriteRefused,
         kChip},
        {"PROG, read-back differs",
         [](ChipSession& s) { return s.programEeprom(); },
         {kAck, kAck, kAck, kAck, kAck, allRegistersWith48(kModeOff)},
         {writeFrame(48, kModeOff),
          writeFrame(0, kModeOff),
          writeFrame(1, 0),
          writeFrame(2, 0),
          writeFrame(3, 0),
          {'W', kChip * 2}},
         messages::kNotCorrectlyWritten,
         Outcome::NotVerified,
         kChip},
        {"PROG, read-back lost",
         [](ChipSession& s) { return s.programEeprom(); },
         {kAck, kAck, kAck, kAck, kAck, kSilence},
         {writeFrame(48, kModeOff),
          writeFrame(0, kModeOff),
          writeFrame(1, 0),
          writeFrame(2, 0),
          writeFrame(3, 0),
          {'W', kChip * 2}},
         messages::kNotCorrectlyWritten,
         Outcome::NotVerified,
         kChip},
        {"READ, full read fails",
         [](ChipSession& s) { return s.readEeprom(); },
         {wordReply(kModeOn), kAck, wordReply(0x0209), kAck, kSilence},
         {readFrame(48),
          writeFrame(48, kModeOff),
          readFrame(0),
          writeFrame(0, 0x0209),
          {'W', kStoredAddress * 2}},
         messages::kReadingFailed,
         Outcome::NoReply,
         kStoredAddress},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        rig.image[48] = kModeOn;
        for (std::uint8_t reg = 49; reg < 56; ++reg) rig.image[reg] = 0;
        rig.replies(c.replies);

        const Result result = c.operation(rig.session);

        EXPECT_EQ(rig.driver.frames(), c.frames);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.reason, c.message);
        EXPECT_EQ(rig.sink.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(rig.image[48] & 0x0200, 0) << "the mirror shows the mode off, as the chip has it";
        EXPECT_EQ(rig.session.chipAddress(), c.addressAfter);
    }
}

// A chip that refuses to take the mode off keeps it on, and the mirror says so.
TEST(PowerDownAfterFailure, ProgWhoseModeWriteIsRefusedLeavesTheMirrorOn) {
    LinkRig rig;
    rig.image[48] = kModeOn;
    rig.replies(std::vector<Bytes>(10, kRefused));

    const Result result = rig.session.programEeprom();

    EXPECT_EQ(rig.driver.frames(), std::vector<Bytes>(10, writeFrame(48, kModeOff)));
    EXPECT_EQ(result.outcome, Outcome::WriteRefused);
    EXPECT_EQ(rig.image[48], kModeOn);
}

}  // namespace
}  // namespace qe::chip::test
