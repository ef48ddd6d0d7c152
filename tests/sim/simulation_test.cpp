// The bench that `--simulate` sets up.
#include <gtest/gtest.h>

#include "clock.h"
#include "simulation.h"

namespace qe::sim::test {
namespace {

TEST(DefaultSimulation, PutsTheChosenBenchTogether) {
    struct Case {
        SimulationOptions options;
        std::size_t chips;
    };
    const Case cases[] = {
        {{}, 1},
        {{.chips = 3, .revolutionsPerSecond = -2.5}, 3},
        {{.chips = -1}, 0},
        {{.chips = 500}, 128},
    };
    for (const auto& c : cases) {
        ManualClock clock;
        const auto driver = makeDefaultSimulation(clock, c.options);
        ASSERT_EQ(driver->adapterCount(), 1u);
        auto& adapter = driver->adapter();
        EXPECT_EQ(adapter.serialNumber(), "QE000001");
        EXPECT_EQ(adapter.description(), "QE7204 interface");
        EXPECT_EQ(adapter.magnet().speed(), c.options.revolutionsPerSecond);
        ASSERT_EQ(adapter.bus().chipCount(), c.chips);
        adapter.bus().setPowered(true);
        const auto addresses = adapter.bus().scan();
        for (std::size_t i = 0; i < addresses.size(); ++i) EXPECT_EQ(addresses[i], i);
        for (std::size_t i = 0; i < c.chips; ++i)
            EXPECT_EQ(adapter.bus().chip(i).workingWord(48), 0x0100 + i) << "typical configuration";
    }
}

}  // namespace
}  // namespace qe::sim::test
