// The device object: what it adds to the session and the connection it is made of. The
// derived values are computed from the mirror, the EEPROM's settings
// words are read for the PROG comparison, a chip is chosen among several, and a failure
// tells its reason and the driver call behind it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_link_access.h"
#include "chip.h"
#include "chip_access.h"
#include "link_rig.h"

namespace qe::chip::test {
namespace {

using qe::test::AdapterLinkAccess;
using qe::test::ChipAccess;

DeviceInfoNode adapterNode(const std::string& serial) {
    DeviceInfoNode node;
    node.setSerialNumber(serial);
    node.setDescription("QE7204 interface");
    return node;
}

// A device object over a scripted driver; opened() gives it an open adapter and the chip at
// address 5 without the exchanges that would lead there.
struct ChipRig {
    explicit ChipRig(AdapterPolicy policy = {}) : chip(driver, clock, sink, std::move(policy)) {}

    ChipRig& opened() {
        AdapterLinkAccess::setAdapterHandle(ChipAccess::link(chip), 0x1000);
        ChipAccess::setChipAddress(chip, kChip);
        return *this;
    }
    void replies(const std::vector<Bytes>& bytes) {
        for (const Bytes& reply : bytes) driver.replyToNextWrite(reply);
    }

    ManualClock clock;
    qe::test::ScriptedDriver driver{clock};
    qe::test::RecordingSink sink;
    Chip chip;
};

TEST(Chip, DerivedValuesAreComputedFromTheMirrorOnlyWhenAsked) {
    ChipRig r;
    r.opened();
    r.replies({wordReply(0), allRegistersReply({{51, 0x0007}})});
    ASSERT_TRUE(r.chip.refreshSettings().ok());
    EXPECT_EQ(r.chip.derived().ResolutionCounts, 0) << "a panel not yet filled shows none";

    r.chip.deriveFromMirror();
    EXPECT_EQ(r.chip.derived().ResolutionCounts, 32);
    EXPECT_EQ(r.chip.derived().ResolutionBits, 5);
    EXPECT_EQ(r.chip.derived().TachoRangeHz, 2048.0);

    ChipAccess::image(r.chip)[51] = 7 << 6 | 2;
    r.chip.deriveFromMirror();
    EXPECT_EQ(r.chip.derived().ResolutionCounts, 1024);
    EXPECT_EQ(r.chip.derived().ResolutionBits, 10);
    EXPECT_EQ(r.chip.derived().TachoRangeHz, 16.0);
    EXPECT_EQ(r.driver.frames().size(), 2u) << "computed, never asked of the chip";
}

TEST(Chip, ReadsTheStoredSettingsWordsZeroToThree) {
    ChipRig r;
    r.opened();
    r.replies({wordReply(0x0105), wordReply(0x0200), wordReply(0x0003), wordReply(0x8007)});
    EXPECT_TRUE(r.chip.readStoredSettings().ok());
    EXPECT_EQ(r.driver.frames(),
              (std::vector<Bytes>{readFrame(0), readFrame(1), readFrame(2), readFrame(3)}));
    const RegisterImage& image = r.chip.image();
    EXPECT_EQ((std::vector<std::uint16_t>(image.begin(), image.begin() + 4)),
              (std::vector<std::uint16_t>{0x0105, 0x0200, 0x0003, 0x8007}));
    EXPECT_TRUE(r.sink.shown.empty());
}

TEST(Chip, StoredSettingsReadEndsSilentlyAtTheFirstWordWithoutAReply) {
    ChipRig r;
    r.opened();
    r.replies({wordReply(0x0105), kSilence, wordReply(0x0003)});
    const Result result = r.chip.readStoredSettings();
    EXPECT_EQ(result.outcome, Outcome::NoReply);
    EXPECT_EQ(result.reason, "");
    EXPECT_EQ(r.driver.frames(), (std::vector<Bytes>{readFrame(0), readFrame(1)}));
    EXPECT_TRUE(r.sink.shown.empty());
}

TEST(Chip, AChipIsChosenOnlyAmongThoseThatAnswered) {
    ChipRig r;
    r.opened();
    AdapterLinkAccess::setChipAddressList(ChipAccess::link(r.chip), {1, 4});
    const Result absent = r.chip.selectChip(7);
    EXPECT_EQ(absent.outcome, Outcome::NoChip);
    EXPECT_EQ(absent.reason, "no chip answers at address 7");
    EXPECT_EQ(r.chip.chipAddress(), kChip);

    EXPECT_TRUE(r.chip.selectChip(4).ok());
    EXPECT_EQ(r.chip.chipAddress(), 4);
    EXPECT_TRUE(r.driver.frames().empty());
}

// --- why opening the adapter failed ---------------------------------------------------------

TEST(Chip, AFailedOpenTellsTheLinksTextAndTheDriverCall) {
    ChipRig r;
    r.driver.devices = {adapterNode("A1")};
    r.driver.openFailures["A1"] = FT_DEVICE_NOT_OPENED;

    const Result result = r.chip.openAdapter();

    EXPECT_EQ(result.outcome, Outcome::NoChip);
    // The boxes still go to the front end, in their order.
    EXPECT_EQ(r.sink.texts(),
              (std::vector<std::string>{"Open_USB_Device_By_Serial_Number - Device not opened...",
                                        "Port can not be opened"}));
    EXPECT_EQ(result.reason, "Port can not be opened");
    ASSERT_TRUE(result.driverFault);
    EXPECT_EQ(*result.driverFault,
              (DriverFault{"Open_USB_Device_By_Serial_Number", FT_DEVICE_NOT_OPENED}));
}

TEST(Chip, OpeningWithoutAnAdapterOrWithAnotherSerialSaysSo) {
    const struct {
        const char* name;
        std::vector<DeviceInfoNode> devices;
        std::string serial;
        const char* reason;
    } cases[] = {
        {"nothing attached", {}, "", "no QE7204 adapter found"},
        {"serial not listed", {adapterNode("A1")}, "A9", "no QE7204 adapter with serial number A9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ChipRig r(AdapterPolicy::onlySerial(c.serial));
        r.driver.devices = c.devices;
        const Result result = r.chip.openAdapter();
        EXPECT_EQ(result.outcome, Outcome::NoChip);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_FALSE(result.driverFault);
        EXPECT_EQ(r.driver.count("FT_OpenEx"), 0);
        EXPECT_TRUE(r.sink.shown.empty());
    }
}

TEST(Chip, AReasonBelongsToTheOperationThatFailed) {
    ChipRig r;
    r.driver.devices = {adapterNode("A1")};
    r.driver.openFailures["A1"] = FT_DEVICE_NOT_OPENED;
    (void)r.chip.openAdapter();
    r.opened();
    // The next failure has no text of its own and the link showed none during it.
    r.replies({kSilence});
    const Result result = r.chip.readOutputs();
    EXPECT_EQ(result.outcome, Outcome::NoReply);
    EXPECT_EQ(result.reason, "");
    EXPECT_FALSE(result.driverFault);
}

}  // namespace
}  // namespace qe::chip::test
