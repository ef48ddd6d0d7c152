// The session's reading operations over the scripted adapter: the settings refresh, READ and
// the output words. Each case is one operation and one way the adapter answers: the frames
// sent in order, how the operation ends, the box shown and what the mirror holds afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "link_rig.h"
#include "messages.h"

namespace qe::chip::test {
namespace {

using Words = std::vector<std::pair<std::uint8_t, std::uint16_t>>;

struct ReadingCase {
    const char* name;
    std::function<Result(ChipSession&)> operation;
    std::vector<Bytes> replies = {};
    int unplugAfter = -1;
    std::vector<Bytes> frames = {};
    Outcome outcome = Outcome::Done;
    const char* message = nullptr;
    std::uint8_t addressAfter = kChip;
    Words mirrorAfter = {};
};

Result refresh(ChipSession& s) {
    return s.refreshSettings();
}
Result readEeprom(ChipSession& s) {
    return s.readEeprom();
}
Result readOutputs(ChipSession& s) {
    return s.readOutputs();
}

constexpr std::uint8_t kStored = 9;  // the address EEPROM word 0 holds in the READ cases
const Bytes kOutputs{0x00, 0x10, 0x04, 0xD2, 0x82, 0x00, 0x00, 0x40};

const ReadingCase kRefreshCases[] = {
    {.name = "mode off: word 48, then all registers",
     .operation = refresh,
     .replies = {wordReply(0x4005), allRegistersReply({{48, 0x4005}, {33, 0x04D2}})},
     .frames = {readFrame(48), readAllFrame()},
     .mirrorAfter = {{0, 0}, {33, 0x04D2}, {48, 0x4005}}},
    // The mode goes back on the word the full read brought, not on the one read first.
    {.name = "mode on: held off while all registers are read",
     .operation = refresh,
     .replies = {wordReply(0x0205), kAck, allRegistersReply({{48, 0x4005}}), kAck},
     .frames = {readFrame(48), writeFrame(48, 0x0005), readAllFrame(), writeFrame(48, 0x4205)},
     .mirrorAfter = {{48, 0x4205}}},
    // Without the chip's word there is no mode to hold off, and nothing is written.
    {.name = "word 48 not reported",
     .operation = refresh,
     .replies = {kSilence, allRegistersReply({{48, 0x0205}})},
     .frames = {readFrame(48), readAllFrame()},
     .mirrorAfter = {{48, 0x0205}}},
    {.name = "all registers unanswered",
     .operation = refresh,
     .replies = {wordReply(0x0005), kSilence},
     .frames = {readFrame(48), readAllFrame()},
     .outcome = Outcome::NoReply,
     .message = messages::kReadingFailed,
     .mirrorAfter = {{0, kUntouched}, {48, 0x0005}}},
    {.name = "all registers short by a byte",
     .operation = refresh,
     .replies = {wordReply(0x0005), Bytes(111, 0)},
     .frames = {readFrame(48), readAllFrame()},
     .outcome = Outcome::NoReply,
     .message = messages::kReadingFailed,
     .mirrorAfter = {{0, kUntouched}, {48, 0x0005}}},
    {.name = "adapter unplugged at the first read",
     .operation = refresh,
     .unplugAfter = 0,
     .frames = {readFrame(48)},
     .outcome = Outcome::NoReply,
     .message = messages::kReadingFailed,
     .mirrorAfter = {{48, kUntouched}}},
    {.name = "adapter unplugged at the read of all registers",
     .operation = refresh,
     .replies = {wordReply(0x0005)},
     .unplugAfter = 1,
     .frames = {readFrame(48), readAllFrame()},
     .outcome = Outcome::NoReply,
     .message = messages::kReadingFailed,
     .mirrorAfter = {{0, kUntouched}, {48, 0x0005}}},
};

const ReadingCase kReadEepromCases[] = {
    {.name = "READ, mode off: word 0 rewritten as read, the chip followed to its address",
     .operation = readEeprom,
     .replies = {wordReply(0x0105), wordReply(0x0109), kAck,
                 allRegistersReply({{0, 0x0109}, {48, 0x0109}})},
     .frames = {readFrame(48), readFrame(0), writeFrame(0, 0x0109), readAllFrame(kStored)},
     .addressAfter = kStored,
     .mirrorAfter = {{0, 0x0109}, {48, 0x0109}}},
    {.name = "READ, mode on: held off, given back at the new address",
     .operation = readEeprom,
     .replies = {wordReply(0x0305), kAck, wordReply(0x0109), kAck,
                 allRegistersReply({{0, 0x0109}, {48, 0x0109}}), kAck},
     .frames = {readFrame(48), writeFrame(48, 0x0105), readFrame(0), writeFrame(0, 0x0109),
                readAllFrame(kStored), writeFrame(48, 0x0309, kStored)},
     .addressAfter = kStored,
     .mirrorAfter = {{0, 0x0109}, {48, 0x0309}}},
    // The rewrite's answer is not looked at.
    {.name = "READ, rewrite of word 0 refused",
     .operation = readEeprom,
     .replies = {wordReply(0x0105), wordReply(0x0109), kRefused,
                 allRegistersReply({{0, 0x0109}, {48, 0x0109}})},
     .frames = {readFrame(48), readFrame(0), writeFrame(0, 0x0109), readAllFrame(kStored)},
     .addressAfter = kStored,
     .mirrorAfter = {{0, 0x0109}, {48, 0x0109}}},
    {.name = "READ, word 48 not reported",
     .operation = readEeprom,
     .replies = {kSilence},
     .frames = {readFrame(48)},
     .outcome = Outcome::NoReply,
     .message = messages::kReadingFailed,
     .mirrorAfter = {{0, kUntouched}, {48, kUntouched}}},
    // Word 0 goes back to the EEPROM only as the chip reported it.
    {.name = "READ, word 0 short",
     .operation = readEeprom,
     .replies = {wordReply(0x0105), Bytes{0x01}},
     .frames = {readFrame(48), readFrame(0)},
     .outcome = Outcome::NoReply,
     .message = messages::kReadingFailed,
     .mirrorAfter = {{0, kUntouched}, {48, 0x0105}}},
    {.name = "READ, all registers unanswered",
     .operation = readEeprom,
     .replies = {wordReply(0x0105), wordReply(0x0109), kAck, kSilence},
     .frames = {readFrame(48), readFrame(0), writeFrame(0, 0x0109), readAllFrame(kStored)},
     .outcome = Outcome::NoReply,
     .message = messages::kReadingFailed,
     .addressAfter = kStored,
     .mirrorAfter = {{0, 0x0109}, {48, 0x0105}}},
    {.name = "READ, adapter unplugged at the rewrite of word 0",
     .operation = readEeprom,
     .replies = {wordReply(0x0105), wordReply(0x0109)},
     .unplugAfter = 2,
     .frames = {readFrame(48), readFrame(0), writeFrame(0, 0x0109)},
     .outcome = Outcome::NoReply,
     .message = messages::kReadingFailed,
     .addressAfter = kStored,
     .mirrorAfter = {{0, 0x0109}, {48, 0x0105}}},
};

// A failed read of the outputs is no news to the user: the readout shows its placeholder.
const ReadingCase kOutputCases[] = {
    {.name = "outputs",
     .operation = readOutputs,
     .replies = {kOutputs},
     .frames = {outputsFrame()},
     .mirrorAfter = {{32, 0x0010}, {33, 0x04D2}, {34, 0x8200}, {35, 0x0040}}},
    {.name = "outputs unanswered",
     .operation = readOutputs,
     .replies = {kSilence},
     .frames = {outputsFrame()},
     .outcome = Outcome::NoReply,
     .mirrorAfter = {{32, kUntouched}, {35, kUntouched}}},
    {.name = "outputs short by a byte",
     .operation = readOutputs,
     .replies = {Bytes(kOutputs.begin(), kOutputs.end() - 1)},
     .frames = {outputsFrame()},
     .outcome = Outcome::NoReply,
     .mirrorAfter = {{32, kUntouched}, {35, kUntouched}}},
    {.name = "outputs, adapter unplugged",
     .operation = readOutputs,
     .unplugAfter = 0,
     .frames = {outputsFrame()},
     .outcome = Outcome::NoReply,
     .mirrorAfter = {{32, kUntouched}, {35, kUntouched}}},
};

void run(const ReadingCase& c) {
    SCOPED_TRACE(c.name);
    LinkRig rig;
    rig.replies(c.replies);
    rig.unplugAfter(c.unplugAfter);

    const Result result = c.operation(rig.session);

    EXPECT_EQ(rig.driver.frames(), c.frames);
    rig.expectEnded(result, c.outcome, c.message);
    EXPECT_EQ(rig.session.chipAddress(), c.addressAfter);
    for (const auto& [reg, word] : c.mirrorAfter)
        EXPECT_EQ(rig.image[reg], word) << "word " << +reg;
}

TEST(SessionReads, RefreshOfTheSettings) {
    for (const ReadingCase& c : kRefreshCases) run(c);
}

TEST(SessionReads, ReadOfTheEeprom) {
    for (const ReadingCase& c : kReadEepromCases) run(c);
}

TEST(SessionReads, OutputWords) {
    for (const ReadingCase& c : kOutputCases) run(c);
}

}  // namespace
}  // namespace qe::chip::test
