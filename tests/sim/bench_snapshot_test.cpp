#include <gtest/gtest.h>

#include "bench_snapshot.h"
#include "clock.h"
#include "simulated_driver.h"

namespace qe::sim {
namespace {

class BenchSnapshotTest : public ::testing::Test {
protected:
    ManualClock clock;
    SimulatedDriver before{clock};
    SimulatedDriver after{clock};
    SimulatedAdapter& first = before.addAdapter();
    SimulatedAdapter& second = after.addAdapter();
};

TEST_F(BenchSnapshotTest, ChipsComeBackWithTheirEepromWorkingWordsAndAddress) {
    Qe7204Chip& chip = first.addChip(5);
    first.addChip(9);
    first.bus().setPowered(true);
    chip.setEepromWord(20, 0xBEEF);
    ASSERT_TRUE(chip.write(51, 0x8047));
    ASSERT_TRUE(chip.write(48, 0x0107));  // moves to address 7 until the next power-up

    const std::string text = snapshotText(takeSnapshot(first));
    const auto parsed = parseSnapshot(text);
    ASSERT_TRUE(parsed);
    second.addChip(3);  // whatever was there goes
    restoreSnapshot(second, *parsed);

    EXPECT_TRUE(second.supplyOn());
    ASSERT_EQ(second.bus().chipCount(), 2u);
    EXPECT_EQ(second.bus().scan(), (std::vector<std::uint8_t>{7, 9}));
    Qe7204Chip& restored = second.bus().chip(0);
    EXPECT_EQ(restored.workingWord(51), 0x8047);
    EXPECT_EQ(restored.eepromWord(0), 0x0105);
    EXPECT_EQ(restored.eepromWord(20), 0xBEEF);
    EXPECT_EQ(takeSnapshot(second), *parsed);

    // A power cycle brings the stored settings back, as on the first bench.
    second.bus().setPowered(false);
    second.bus().setPowered(true);
    EXPECT_EQ(second.bus().scan(), (std::vector<std::uint8_t>{5, 9}));
}

TEST_F(BenchSnapshotTest, AnUnpoweredBenchStaysUnpowered) {
    first.addChip(2);
    const auto parsed = parseSnapshot(snapshotText(takeSnapshot(first)));
    ASSERT_TRUE(parsed);
    restoreSnapshot(second, *parsed);
    EXPECT_FALSE(second.supplyOn());
    EXPECT_EQ(second.bus().chipCount(), 1u);
    EXPECT_EQ(second.bus().chip(0).address(), 2);
}

TEST(BenchSnapshotText, RefusesWhatIsNotASnapshot) {
    const std::string words32 =
        " 0105 0000 0001 01C0 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000"
        " 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000";
    const std::string working8 = " working 0105 0000 0001 01C0 0000 0000 0000 0000";
    ASSERT_TRUE(parseSnapshot("supply on\nchip" + words32 + working8 + "\n"));
    ASSERT_TRUE(parseSnapshot("supply off\n"));
    const std::string bad[] = {
        "",
        "supply maybe\n",
        "supply on\nchip" + words32 + "\n",                  // powered without working words
        "supply off\nchip" + words32 + working8 + "\n",      // working words while off
        "supply off\nchip 0105\n",                           // too few words
        "supply on\nchip" + words32 + working8 + " 0000\n",  // too many
        "supply off\nchip" + words32.substr(0, words32.size() - 4) + "XYZW\n",  // not hex
        "supply off\nchip" + words32.substr(0, words32.size() - 4) + "10000\n",
        "supply off\nmagnet 1\n",
    };
    for (const std::string& text : bad) EXPECT_FALSE(parseSnapshot(text)) << text;
}

}  // namespace
}  // namespace qe::sim
