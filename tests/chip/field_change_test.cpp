// One field changed by read-modify-write: what goes to the chip, and what the image holds.
#include <gtest/gtest.h>

#include "field_change.h"
#include "link_rig.h"

namespace qe::chip::test {
namespace {

// Sth is bits 6..8 of word 51; the chip holds 8007h, so 7 makes 81C7h.
constexpr std::uint16_t kHeld = 0x8007;
constexpr std::uint16_t kWritten = 0x81C7;

TEST(FieldChange, WritesTheFieldIntoTheChipsWordAndKeepsWhatTheChipHolds) {
    const struct {
        const char* name;
        std::vector<Bytes> replies;
        std::vector<Bytes> frames;
        bool written;
        bool wordRead;
        std::uint16_t image51;
    } cases[] = {
        // The chip's own word wins over the one written.
        {"read back",
         {{0x80, 0x07}, {1}, {0x81, 0xC5}},
         {readFrame(51), writeFrame(51, kWritten), readFrame(51)},
         true,
         true,
         0x81C5},
        // Acknowledged, so the chip holds the word written.
        {"read-back lost",
         {{0x80, 0x07}, {1}, {}},
         {readFrame(51), writeFrame(51, kWritten), readFrame(51)},
         true,
         true,
         kWritten},
        {"write refused",
         {{0x80, 0x07}, {0}},
         {readFrame(51), writeFrame(51, kWritten)},
         false,
         true,
         kHeld},
        {"word not reported", {{}}, {readFrame(51)}, false, false, kUntouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        rig.replies(c.replies);

        const FieldChange change = changeField(rig.link, kChip, fields::Sth, 7);

        EXPECT_EQ(rig.driver.frames(), c.frames);
        EXPECT_EQ(static_cast<bool>(change), c.written);
        EXPECT_EQ(change.wordRead, c.wordRead);
        EXPECT_EQ(rig.image[51], c.image51);
        if (c.written) {
            EXPECT_EQ(change.word, c.image51);
        }
        EXPECT_TRUE(rig.sink.shown.empty());
    }
}

}  // namespace
}  // namespace qe::chip::test
