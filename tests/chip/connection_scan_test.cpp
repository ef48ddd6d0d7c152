// The bus scan with the one-chip rule, and "Power ON", over the scripted adapter: which chip
// becomes the session's, when it counts as new, and what the user is shown.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "chip_connection.h"
#include "link_rig.h"
#include "messages.h"

namespace qe::chip::test {
namespace {

const Bytes kScanFrame{'X'};
const Bytes kSupplyOnFrame{'Z', 3, 255};
const Bytes kSupplyQueryFrame{'Z', 4, 0};

struct ConnectionRig : LinkRig {
    ChipConnection connection{
        link, session, (std::filesystem::path(::testing::TempDir()) / "scan_test.ini").string()};
};

std::vector<std::string> shownOr(bool shown, const char* text) {
    return shown ? std::vector<std::string>{text} : std::vector<std::string>{};
}

// One session through a run of scans: a chip is new when it answers at another address than
// the single chip of the scan before.
TEST(ConnectionScan, OneChipRuleAndNewChipsOverARunOfScans) {
    const struct {
        const char* name;
        Bytes reply;
        int unplugAfter;
        Outcome outcome;
        bool newChip;
        std::uint8_t addressAfter;
    } steps[] = {
        {"first chip found", {5, 0x80}, -1, Outcome::Done, true, 5},
        {"the same chip again", {5, 0x80}, -1, Outcome::Done, false, 5},
        {"the chip at another address", {7, 0x80}, -1, Outcome::Done, true, 7},
        {"two chips", {5, 7, 0x80}, -1, Outcome::TooManyChips, false, 7},
        {"one of them left", {7, 0x80}, -1, Outcome::Done, true, 7},
        {"no chip", {0x80}, -1, Outcome::NoChip, false, 7},
        {"no answer", {}, -1, Outcome::NoChip, false, 7},
        {"the chip back after silence", {7, 0x80}, -1, Outcome::Done, true, 7},
        {"adapter unplugged", {}, 0, Outcome::NoChip, false, 7},
    };
    ConnectionRig rig;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        rig.driver.calls.clear();
        rig.sink.clear();
        rig.replies({step.reply});
        rig.unplugAfter(step.unplugAfter);

        const ScanResult scan = rig.connection.scan();

        EXPECT_EQ(rig.driver.frames(), std::vector<Bytes>{kScanFrame});
        EXPECT_EQ(scan.outcome, step.outcome);
        EXPECT_EQ(scan.newChip, step.newChip);
        EXPECT_EQ(rig.session.chipAddress(), step.addressAfter);
        EXPECT_EQ(rig.sink.texts(),
                  shownOr(step.outcome == Outcome::TooManyChips, messages::kTooManyChips));
    }
}

TEST(ConnectionScan, PowerOnSwitchesTheSupplyAndScansWhenItIsOn) {
    const struct {
        const char* name;
        std::vector<Bytes> replies;  // to the switch, the query and the scan
        int unplugAfter;
        std::vector<Bytes> frames;
        Outcome outcome;
        bool powered;
    } cases[] = {
        // Found again at its old address, the chip is still read again.
        {"one chip",
         {kSilence, kAck, {kChip, 0x80}},
         -1,
         {kSupplyOnFrame, kSupplyQueryFrame, kScanFrame},
         Outcome::Done,
         true},
        {"supply reported off: no scan",
         {kSilence, {0}},
         -1,
         {kSupplyOnFrame, kSupplyQueryFrame},
         Outcome::NoChip,
         false},
        {"two chips",
         {kSilence, kAck, {kChip, 9, 0x80}},
         -1,
         {kSupplyOnFrame, kSupplyQueryFrame, kScanFrame},
         Outcome::TooManyChips,
         true},
        {"no chip answers",
         {kSilence, kAck, {0x80}},
         -1,
         {kSupplyOnFrame, kSupplyQueryFrame, kScanFrame},
         Outcome::NoChip,
         true},
        {"adapter unplugged as the supply is switched",
         {},
         0,
         {kSupplyOnFrame},
         Outcome::NoChip,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectionRig rig;
        rig.replies({{kChip, 0x80}});
        ASSERT_TRUE(rig.connection.scan().ok());  // the chip known before
        rig.driver.calls.clear();
        rig.replies(c.replies);
        rig.unplugAfter(c.unplugAfter);

        const ScanResult result = rig.connection.powerOn();

        EXPECT_EQ(rig.driver.frames(), c.frames);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.newChip, c.outcome == Outcome::Done);
        EXPECT_EQ(rig.connection.chipPowered(), c.powered);
        EXPECT_EQ(rig.sink.texts(),
                  shownOr(c.outcome == Outcome::TooManyChips, messages::kTooManyChips));
    }
}

}  // namespace
}  // namespace qe::chip::test
