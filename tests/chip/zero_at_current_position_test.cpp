// The current absolute position made the zero position: the exchange both the "Zero" button
// and the analogue panel's zero zone run.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "link_rig.h"

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
        std::vector<Bytes> frames;
        std::optional<std::uint16_t> zin;
        std::vector<std::string> messages;
    } cases[] = {
        {"done",
         {kOutputs, kWord49, {1}, {0x54, 0xD2}},
         {kOutputsFrame, readFrame(49), writeFrame(49, 0x54D2), readFrame(49)},
         1234,
         {}},
        {"read-back lost",
         {kOutputs, kWord49, {1}, {}},
         {kOutputsFrame, readFrame(49), writeFrame(49, 0x54D2), readFrame(49)},
         1234,
         {}},
        {"write refused",
         {kOutputs, kWord49, {0}},
         {kOutputsFrame, readFrame(49), writeFrame(49, 0x54D2)},
         std::nullopt,
         {kFailed}},
        {"word 49 not reported",
         {kOutputs, {}},
         {kOutputsFrame, readFrame(49)},
         std::nullopt,
         {kFailed}},
        {"no position", {{}}, {kOutputsFrame}, std::nullopt, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        rig.replies(c.replies);

        const auto zin = rig.session.zeroAtCurrentPosition(kFailed);
        EXPECT_EQ(zin.ok() ? std::optional<std::uint16_t>(zin.value) : std::nullopt, c.zin);

        EXPECT_EQ(rig.driver.frames(), c.frames);
        EXPECT_EQ(rig.sink.texts(), c.messages);
        for (const auto& [kind, text] : rig.sink.shown) EXPECT_EQ(kind, MessageKind::Error);
    }
}

}  // namespace
}  // namespace qe::chip::test
