// Every operation of the device object with the adapter pulled out at each of its frames, while
// replies come as a real FT232R sends them (when its latency timer next runs out, on a loaded
// bus now and then tens of milliseconds later): the operation ends, fails, and says the
// adapter is gone; no write is formed from a word that did not come from the chip.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "chip.h"
#include "recording_sink.h"
#include "simulation.h"

namespace qe::sim::test {
namespace {

struct Operation {
    const char* name;
    std::function<chip::Result(chip::Chip&)> run;
    // A read-modify-write changes only these bits of the word; the chip counts any write
    // that carries other bits than it holds.
    std::uint8_t rmwWord = 0;
    std::uint16_t rmwBits = 0;
    // A change is made once the chip acknowledged its write, the operation's write with this
    // index; pulled out after it, only the read-back for the mirror is lost and the change may
    // report success. A read never succeeds without all its replies.
    unsigned madeAtWrite = ~0u;
};

std::filesystem::path goldenFile() {
    const auto path = std::filesystem::temp_directory_path() / "unplug_mid_operation.qcf";
    std::ofstream out(path, std::ios::binary);
    for (int word = 0; word < 8; ++word) {
        const char bytes[2] = {static_cast<char>(word), 0x01};
        out.write(bytes, 2);
    }
    return path;
}

const Operation kOperations[] = {
    {"refreshSettings", [](chip::Chip& c) { return c.refreshSettings(); }},
    {"changeSetting", [](chip::Chip& c) { return c.changeSetting("Sth", 7); }, 51, 0x01C0, 1},
    {"programEeprom", [](chip::Chip& c) { return c.programEeprom(); }},
    {"readEeprom", [](chip::Chip& c) { return c.readEeprom(); }},
    {"setAddress", [](chip::Chip& c) { return c.setAddress(9); }},
    {"presetZero", [](chip::Chip& c) { return c.presetZero("100"); }, 0, 0, 1},
    {"zeroAtCurrentPosition", [](chip::Chip& c) { return c.zeroAtCurrentPosition().result; }, 0, 0,
     2},
    {"loadFile and write it",
     [](chip::Chip& c) {
         const chip::Result loaded = c.loadFile(goldenFile());
         return loaded.ok() ? c.writeLoadedWords() : loaded;
     },
     0, 0, 7},
    {"readStoredSettings", [](chip::Chip& c) { return c.readStoredSettings(); }},
    {"readOutputs", [](chip::Chip& c) { return c.readOutputs(); }},
};

struct Pacing {
    const char* name;
    SimulatedAdapter::Pace pace;
};

std::unique_ptr<SimulatedDriver> makeDriver(Clock& clock) {
    SimulationOptions options;
    options.chips = 1;
    options.revolutionsPerSecond = 0.5;
    return makeDefaultSimulation(clock, options);
}

class UnplugMidOperation : public ::testing::TestWithParam<Pacing> {
protected:
    struct Bench {
        explicit Bench(SimulatedAdapter::Pace pace, std::uint32_t seed) {
            driver->setPace(pace, seed);
            chip.setReplyTimeoutMs(AdapterLink::kLoadedBusReplyTimeoutMs);
        }
        bool connect() {
            if (!chip.openAdapter().ok()) return false;
            return chip.powerOn().ok() && chip.refreshSettings().ok();
        }
        SimulatedAdapter& adapter() { return driver->adapter(); }
        Qe7204Chip& qe7204() { return adapter().bus().chip(0); }

        ManualClock clock{1'000'000'000 + 3'000'000};
        std::unique_ptr<SimulatedDriver> driver = makeDriver(clock);
        qe::test::RecordingSink sink;
        chip::Chip chip{*driver, clock, sink, chip::AdapterPolicy{}};
    };

    // The writes an operation makes when nothing goes wrong.
    static unsigned writesOf(const Operation& operation, SimulatedAdapter::Pace pace) {
        Bench bench(pace, 1);
        EXPECT_TRUE(bench.connect());
        const std::size_t before = bench.adapter().writeCount();
        EXPECT_TRUE(operation.run(bench.chip).ok()) << operation.name;
        return static_cast<unsigned>(bench.adapter().writeCount() - before);
    }
};

TEST_P(UnplugMidOperation, EndsFailedWithTheAdapterGoneAndNoForeignWordWritten) {
    for (const Operation& operation : kOperations) {
        const unsigned writes = writesOf(operation, GetParam().pace);
        ASSERT_GT(writes, 0u) << operation.name;
        for (unsigned at = 0; at < writes; ++at) {
            SCOPED_TRACE(std::string(operation.name) + ", unplugged at write " +
                         std::to_string(at));
            Bench bench(GetParam().pace, 3 + at);
            ASSERT_TRUE(bench.connect());
            if (operation.rmwBits) bench.qe7204().watchWrites(operation.rmwWord, operation.rmwBits);
            bench.adapter().unplugAtWrite(at);

            const chip::Result result = operation.run(bench.chip);

            EXPECT_EQ(result.ok(), at > operation.madeAtWrite)
                << "success only for a change the chip acknowledged";
            EXPECT_FALSE(bench.chip.checkConnection()) << "the adapter is known to be gone";
            EXPECT_EQ(bench.qe7204().staleWrites(), 0u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sim, UnplugMidOperation,
                         ::testing::Values(Pacing{"LatencyTimer",
                                                  SimulatedAdapter::Pace::LatencyTimer},
                                           Pacing{"LoadedBus", SimulatedAdapter::Pace::LoadedBus}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qe::sim::test
