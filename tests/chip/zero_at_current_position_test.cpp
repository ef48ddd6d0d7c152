// The current absolute position made the zero position: the exchange both the "Zero" button
// and the analogue panel's zero zone run.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "link_rig.h"
#include "messages.h"

namespace qe::chip::test {
namespace {

const char* const kFailed = "failure text of the caller";

// Output words 32..35 with AbsPos 1234 (04D2h) in word 33; the chip's word 49 is 5000h.
const Bytes kOutputs{0x00, 0x10, 0x04, 0xD2, 0x00, 0x00, 0x00, 0x00};
const Bytes kOutputsFrame{'V', kChip * 2};
const Bytes kWord49{0x50, 0x00};

TEST(ZeroAtCurrentPosition, WritesAbsPosAsZinAndReportsOnlyAFailedChange) {
    const struct {
        const char* name;
        std::vector<Bytes> replies;
        int unplugAfter;
        std::vector<Bytes> frames;
        std::optional<std::uint16_t> zin;
        Outcome outcome;
        std::vector<std::string> messages;
    } cases[] = {
        {"done",
         {kOutputs, kWord49, {1}, {0x54, 0xD2}},
         -1,
         {kOutputsFrame, readFrame(49), writeFrame(49, 0x54D2), readFrame(49)},
         1234,
         Outcome::Done,
         {}},
        {"read-back lost",
         {kOutputs, kWord49, {1}, {}},
         -1,
         {kOutputsFrame, readFrame(49), writeFrame(49, 0x54D2), readFrame(49)},
         1234,
         Outcome::Done,
         {}},
        {"write refused",
         {kOutputs, kWord49, {0}},
         -1,
         {kOutputsFrame, readFrame(49), writeFrame(49, 0x54D2)},
         std::nullopt,
         Outcome::WriteRefused,
         {kFailed}},
        {"write unanswered",
         {kOutputs, kWord49, {}},
         -1,
         {kOutputsFrame, readFrame(49), writeFrame(49, 0x54D2)},
         std::nullopt,
         Outcome::WriteRefused,
         {kFailed}},
        {"adapter unplugged at the write",
         {kOutputs, kWord49},
         2,
         {kOutputsFrame, readFrame(49), writeFrame(49, 0x54D2)},
         std::nullopt,
         Outcome::WriteRefused,
         {kFailed}},
        {"word 49 not reported",
         {kOutputs, {}},
         -1,
         {kOutputsFrame, readFrame(49)},
         std::nullopt,
         Outcome::NoReply,
         {kFailed}},
        {"word 49 short",
         {kOutputs, {0x50}},
         -1,
         {kOutputsFrame, readFrame(49)},
         std::nullopt,
         Outcome::NoReply,
         {kFailed}},
        {"no position", {{}}, -1, {kOutputsFrame}, std::nullopt, Outcome::NoReply, {}},
        {"position short",
         {Bytes(kOutputs.begin(), kOutputs.end() - 1)},
         -1,
         {kOutputsFrame},
         std::nullopt,
         Outcome::NoReply,
         {}},
        {"adapter unplugged at the position",
         {},
         0,
         {kOutputsFrame},
         std::nullopt,
         Outcome::NoReply,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        rig.replies(c.replies);
        rig.unplugAfter(c.unplugAfter);

        const auto zin = rig.session.zeroAtCurrentPosition(kFailed);
        EXPECT_EQ(zin.ok() ? std::optional<std::uint16_t>(zin.value) : std::nullopt, c.zin);
        EXPECT_EQ(zin.result.outcome, c.outcome);

        EXPECT_EQ(rig.driver.frames(), c.frames);
        EXPECT_EQ(rig.sink.texts(), c.messages);
        for (const auto& [kind, text] : rig.sink.shown) EXPECT_EQ(kind, MessageKind::Error);
        EXPECT_EQ(rig.image[49] == 0x54D2, c.zin.has_value())
            << "only a word the chip took enters the mirror";
    }
}

// The "Zero" button's own message, when no other is given.
TEST(ZeroAtCurrentPosition, TheButtonsMessageByDefault) {
    LinkRig rig;
    rig.replies({kOutputs, kWord49, {0}});

    const auto zin = rig.session.zeroAtCurrentPosition();

    rig.expectEnded(zin.result, Outcome::WriteRefused, messages::kZeroHereFailed);
}

}  // namespace
}  // namespace qe::chip::test
