// PROG over the scripted adapter, with the power-down mode off and on: the frames in order,
// how it ends, the box shown and the mode word the mirror is left with, against refusals,
// silence, a short read-back and an adapter unplugged on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "link_rig.h"
#include "messages.h"

namespace qe::chip::test {
namespace {

constexpr std::uint16_t kModeOff = 0x0105;  // address 5, Reg35, power-down mode off
constexpr std::uint16_t kModeOn = 0x0305;   // the same with the mode on
constexpr std::uint16_t kWords49To51[] = {0x5123, 0x0042, 0x81C7};

std::vector<Bytes> operator+(std::vector<Bytes> a, const std::vector<Bytes>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Working words 48..51 into EEPROM words 0..3, then all registers read back.
std::vector<Bytes> storedAndReadBack(std::uint16_t word48) {
    return {writeFrame(0, word48), writeFrame(1, kWords49To51[0]), writeFrame(2, kWords49To51[1]),
            writeFrame(3, kWords49To51[2]), readAllFrame()};
}

// A read-back in which the EEPROM equals the working words; `stored5` is EEPROM word 5.
Bytes readBack(std::uint16_t word48, std::uint16_t stored5 = 0) {
    return allRegistersReply({{0, word48},
                              {1, kWords49To51[0]},
                              {2, kWords49To51[1]},
                              {3, kWords49To51[2]},
                              {5, stored5},
                              {48, word48},
                              {49, kWords49To51[0]},
                              {50, kWords49To51[1]},
                              {51, kWords49To51[2]}});
}

const std::vector<Bytes> kFourTaken(4, kAck);

// The mode stored on in EEPROM word 0 and given back to the working register.
const std::vector<Bytes> kModeGivenBack{writeFrame(0, kModeOn), writeFrame(48, kModeOff),
                                        readFrame(0), writeFrame(48, kModeOn)};

struct ProgCase {
    const char* name;
    std::uint16_t word48;  // in the mirror before PROG
    std::vector<Bytes> replies = {};
    int unplugAfter = -1;
    std::vector<Bytes> frames = {};
    Outcome outcome = Outcome::Done;
    const char* message = nullptr;
    std::uint16_t word48After = kModeOff;
    std::uint8_t wordsWritten = 4;  // EEPROM words 0..N-1 reported as written
};

const ProgCase kCases[] = {
    {.name = "mode off: four EEPROM words, then the read-back",
     .word48 = kModeOff,
     .replies = kFourTaken + std::vector<Bytes>{readBack(kModeOff)},
     .frames = storedAndReadBack(kModeOff)},
    {.name = "mode on: held off, stored on, given back",
     .word48 = kModeOn,
     .replies = std::vector<Bytes>{kAck} + kFourTaken +
                std::vector<Bytes>{readBack(kModeOff), kAck, kAck, wordReply(kModeOn), kAck},
     .frames = std::vector<Bytes>{writeFrame(48, kModeOff)} + storedAndReadBack(kModeOff) +
               kModeGivenBack,
     .word48After = kModeOn},
    {.name = "mode on: switching it off refused twice, then taken",
     .word48 = kModeOn,
     .replies = std::vector<Bytes>{kRefused, kRefused, kAck} + kFourTaken +
                std::vector<Bytes>{readBack(kModeOff), kAck, kAck, wordReply(kModeOn), kAck},
     .frames = std::vector<Bytes>(3, writeFrame(48, kModeOff)) + storedAndReadBack(kModeOff) +
               kModeGivenBack,
     .word48After = kModeOn},
    // The read of word 0 on the way is not looked at.
    {.name = "mode on: word 0 not reported while the mode is given back",
     .word48 = kModeOn,
     .replies = std::vector<Bytes>{kAck} + kFourTaken +
                std::vector<Bytes>{readBack(kModeOff), kAck, kAck, kSilence, kAck},
     .frames = std::vector<Bytes>{writeFrame(48, kModeOff)} + storedAndReadBack(kModeOff) +
               kModeGivenBack,
     .word48After = kModeOn},
    {.name = "EEPROM word 2 refused",
     .word48 = kModeOff,
     .replies = {kAck, kAck, kRefused},
     .frames = {writeFrame(0, kModeOff), writeFrame(1, kWords49To51[0]),
                writeFrame(2, kWords49To51[1])},
     .outcome = Outcome::WriteRefused,
     .message = messages::kCannotWriteEeprom,
     .wordsWritten = 2},
    {.name = "EEPROM word 3 unanswered",
     .word48 = kModeOff,
     .replies = {kAck, kAck, kAck, kSilence},
     .frames = {writeFrame(0, kModeOff), writeFrame(1, kWords49To51[0]),
                writeFrame(2, kWords49To51[1]), writeFrame(3, kWords49To51[2])},
     .outcome = Outcome::WriteRefused,
     .message = messages::kCannotWriteEeprom,
     .wordsWritten = 3},
    {.name = "adapter unplugged at EEPROM word 1",
     .word48 = kModeOff,
     .replies = {kAck},
     .unplugAfter = 1,
     .frames = {writeFrame(0, kModeOff), writeFrame(1, kWords49To51[0])},
     .outcome = Outcome::WriteRefused,
     .message = messages::kCannotWriteEeprom,
     .wordsWritten = 1},
    // Only four words are written, yet all eight are compared.
    {.name = "EEPROM word 5 differs from working word 53",
     .word48 = kModeOff,
     .replies = kFourTaken + std::vector<Bytes>{readBack(kModeOff, 0x1234)},
     .frames = storedAndReadBack(kModeOff),
     .outcome = Outcome::NotVerified,
     .message = messages::kNotCorrectlyWritten},
    // The mirror's words agree, but only words that came back from the chip prove anything.
    {.name = "read-back short by a byte",
     .word48 = kModeOff,
     .replies = kFourTaken + std::vector<Bytes>{Bytes(111, 0)},
     .frames = storedAndReadBack(kModeOff),
     .outcome = Outcome::NotVerified,
     .message = messages::kNotCorrectlyWritten},
    {.name = "adapter unplugged at the read-back",
     .word48 = kModeOff,
     .replies = kFourTaken,
     .unplugAfter = 4,
     .frames = storedAndReadBack(kModeOff),
     .outcome = Outcome::NotVerified,
     .message = messages::kNotCorrectlyWritten},
    // The chip may have taken the mode off: the mirror says so, and nothing more is written.
    {.name = "mode on: switching it off unanswered",
     .word48 = kModeOn,
     .replies = {kSilence},
     .frames = {writeFrame(48, kModeOff)},
     .outcome = Outcome::WriteRefused,
     .message = messages::kCannotWriteEeprom,
     .wordsWritten = 0},
    {.name = "mode on: adapter unplugged while switching it off",
     .word48 = kModeOn,
     .unplugAfter = 0,
     .frames = {writeFrame(48, kModeOff)},
     .outcome = Outcome::WriteRefused,
     .message = messages::kCannotWriteEeprom,
     .wordsWritten = 0},
    {.name = "mode on: EEPROM word 0 refused while the mode is stored",
     .word48 = kModeOn,
     .replies = std::vector<Bytes>{kAck} + kFourTaken + std::vector<Bytes>{readBack(kModeOff)} +
                std::vector<Bytes>(10, kRefused),
     .frames = std::vector<Bytes>{writeFrame(48, kModeOff)} + storedAndReadBack(kModeOff) +
               std::vector<Bytes>(10, writeFrame(0, kModeOn)),
     .outcome = Outcome::WriteRefused,
     .message = messages::kCannotWriteEeprom},
    {.name = "mode on: adapter unplugged as the mode goes back on",
     .word48 = kModeOn,
     .replies = std::vector<Bytes>{kAck} + kFourTaken +
                std::vector<Bytes>{readBack(kModeOff), kAck, kAck, wordReply(kModeOn)},
     .unplugAfter = 9,
     .frames = std::vector<Bytes>{writeFrame(48, kModeOff)} + storedAndReadBack(kModeOff) +
               kModeGivenBack,
     .outcome = Outcome::WriteRefused,
     .message = messages::kCannotWriteEeprom},
};

TEST(SessionProg, ExchangeOrderAndEveryFailure) {
    for (const ProgCase& c : kCases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        rig.image[48] = c.word48;
        std::copy(std::begin(kWords49To51), std::end(kWords49To51), rig.image.begin() + 49);
        std::fill(rig.image.begin() + 52, rig.image.end(), 0);
        // As after an earlier READ of a chip whose EEPROM agreed: only the read-back decides.
        std::copy(rig.image.begin() + 48, rig.image.end(), rig.image.begin());
        rig.replies(c.replies);
        rig.unplugAfter(c.unplugAfter);

        const Result result = rig.session.programEeprom();

        EXPECT_EQ(rig.driver.frames(), c.frames);
        rig.expectEnded(result, c.outcome, c.message);
        EXPECT_EQ(rig.image[48], c.word48After);
        EXPECT_EQ(rig.session.chipAddress(), kChip);
        EXPECT_EQ(result.eepromWordsWritten, c.wordsWritten);
    }
}

}  // namespace
}  // namespace qe::chip::test
