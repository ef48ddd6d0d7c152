// The link and every chip operation against the simulated adapter at the pace of a real one:
// short replies when the FT232R's latency timer next runs out, and on a loaded bus now and
// then tens of milliseconds more. Seeded, on a manual clock, so each case runs the same way
// every time.
#include <gtest/gtest.h>

#include <string>

#include "adapter_link.h"
#include "open_simulation.h"
#include "recording_sink.h"
#include "simulation.h"

namespace qe::sim::test {
namespace {

struct PaceCase {
    const char* name;
    SimulatedAdapter::Pace pace;
    std::uint32_t replyTimeoutMs;  // 0: the designed limits, as the window keeps them
    std::uint32_t seed;
};

class PacedLink : public ::testing::TestWithParam<PaceCase> {
protected:
    void SetUp() override {
        driver->setPace(GetParam().pace, GetParam().seed);
        link.setLineSettings({250'000, 8, 2, 0});
        link.setReplyTimeoutMs(GetParam().replyTimeoutMs);
        link.EnumerateDevices();
        link.ConnectAdapter({});
        ASSERT_TRUE(link.adapterOpen());
        // A supply answer late past the window's limit counts as off: switched on again.
        for (int tries = 0; tries < 5 && !link.chipPowered(); ++tries) link.PowerOn();
        ASSERT_TRUE(link.chipPowered());
        chip().watchWrites(51, 0x01C0);
    }
    Qe7204Chip& chip() { return driver->adapter().bus().chip(0); }
    bool everyExchangeMustSucceed() const {
        return GetParam().pace == SimulatedAdapter::Pace::LatencyTimer ||
               GetParam().replyTimeoutMs >= AdapterLink::kLoadedBusReplyTimeoutMs;
    }

    ManualClock clock{1'000 * kMs + 5 * kMs};
    std::unique_ptr<SimulatedDriver> driver =
        makeDefaultSimulation(clock, {.chips = 1, .revolutionsPerSecond = 0.0});
    qe::test::RecordingSink sink;
    RegisterImage image{};
    AdapterLink link{*driver, clock, sink, image};
};

// Whatever comes late, an answer is the chip's own or none: no phantom chip, no word that is
// not the register's, no write formed from a foreign word.
TEST_P(PacedLink, EveryOperationGetsTheChipsOwnAnswerOrNone) {
    int failures = 0;
    const auto check = [&](bool ok) {
        if (!ok) ++failures;
        if (everyExchangeMustSucceed()) {
            EXPECT_TRUE(ok);
        }
    };
    for (int i = 0; i < 120; ++i) {
        SCOPED_TRACE(i);
        clock.advanceMs(i % 3 == 0 ? 0 : 17 + i % 41);  // some at once, some a while later
        switch (i % 6) {
            case 0: {
                const bool scanned = link.ScanBus();
                check(scanned);
                if (scanned) {
                    EXPECT_EQ(link.chipAddressList(), std::vector<std::uint8_t>{0});
                }
                break;
            }
            case 1:
                if (link.ReadOutputRegisters(0)) {
                    for (std::uint8_t reg = 32; reg < 36; ++reg)
                        EXPECT_EQ(image[reg], chip().read(reg, clock.nowNs())) << int{reg};
                } else {
                    check(false);
                }
                break;
            case 2: {
                const RegisterRead word = link.ReadRegister(0, 51);
                check(word.ok);
                if (word.ok) {
                    EXPECT_EQ(word.word, chip().workingWord(51));
                }
                break;
            }
            case 3: {
                const RegisterRead word = link.ReadRegister(0, 51);
                check(word.ok);
                if (!word.ok) break;
                const auto changed =
                    static_cast<std::uint16_t>((word.word & ~0x01C0) | ((i % 8) << 6));
                const bool written = link.WriteRegister(0, 51, changed);
                check(written);
                if (written) {
                    EXPECT_EQ(chip().workingWord(51), changed);
                }
                break;
            }
            case 4:
                if (link.ReadAllRegisters(0)) {
                    for (std::uint8_t reg = 48; reg < 56; ++reg)
                        EXPECT_EQ(image[reg], chip().workingWord(reg)) << int{reg};
                } else {
                    check(false);
                }
                break;
            case 5:
                check(link.QueryPower());
                break;
        }
    }
    EXPECT_EQ(chip().staleWrites(), 0u);
    EXPECT_TRUE(sink.shown.empty());
    // The next exchange settles whether the last reply given up on came after all.
    clock.advanceMs(100);
    EXPECT_TRUE(link.ScanBus());
    const LinkHealth& health = link.health();
    if (GetParam().pace == SimulatedAdapter::Pace::LatencyTimer) {
        EXPECT_EQ(health.late, 0u);
        EXPECT_EQ(health.timeouts, 0u);
        // The longest reply, 112 bytes, is 5 ms on the wire, then within one latency period.
        EXPECT_LE(health.worstReplyMs(), 22.0);
    } else {
        EXPECT_GT(health.late, 0u) << "the loaded bus delayed some replies";
        EXPECT_EQ(health.timeouts, 0u) << "every reply came, if late";
    }
    RecordProperty("failures", failures);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, PacedLink,
    ::testing::Values(PaceCase{"LatencyTimer", SimulatedAdapter::Pace::LatencyTimer, 0, 1},
                      PaceCase{"LatencyTimerSeed7", SimulatedAdapter::Pace::LatencyTimer, 0, 7},
                      PaceCase{"LoadedBus", SimulatedAdapter::Pace::LoadedBus, 0, 1},
                      PaceCase{"LoadedBusSeed7", SimulatedAdapter::Pace::LoadedBus, 0, 7},
                      PaceCase{"LoadedBusWithPatience", SimulatedAdapter::Pace::LoadedBus,
                               AdapterLink::kLoadedBusReplyTimeoutMs, 1},
                      PaceCase{"LoadedBusWithPatienceSeed7", SimulatedAdapter::Pace::LoadedBus,
                               AdapterLink::kLoadedBusReplyTimeoutMs, 7}),
    [](const auto& info) { return std::string(info.param.name); });

// Short replies spread over the latency period as the timer runs, never past it.
TEST(Pace, ShortRepliesGoWhenTheLatencyTimerNextRunsOut) {
    for (const std::int64_t sentMs : {0, 1, 8, 15}) {
        SCOPED_TRACE(sentMs);
        ManualClock clock{1'600 * kMs + sentMs * kMs};  // 1600 ms: the timer ran out just then
        auto driver = makeDefaultSimulation(clock, {.chips = 1});
        SimulatedAdapter& adapter = driver->adapter();
        ASSERT_EQ(adapter.pace(), SimulatedAdapter::Pace::LatencyTimer);
        FtHandle handle = 0;
        ASSERT_EQ(driver->openEx("QE000001", kOpenBySerialNumber, handle), FT_OK);
        const std::uint8_t query[] = {'Z', 4, 0};
        std::uint32_t written = 0;
        ASSERT_EQ(driver->write(handle, query, 3, written), FT_OK);
        std::uint8_t answer = 0;
        std::uint32_t got = 0;
        ASSERT_EQ(driver->read(handle, &answer, 1, got), FT_OK);
        EXPECT_EQ(got, 1u);
        EXPECT_EQ(clock.nowNs(), (1'600 + 16) * kMs) << "the next time the timer runs out";
    }
}

}  // namespace
}  // namespace qe::sim::test
