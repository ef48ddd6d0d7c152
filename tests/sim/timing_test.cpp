// When reply bytes reach the host's receive queue, on the manual clock.
#include <gtest/gtest.h>

#include <string>

#include "open_simulation.h"

namespace qe::sim::test {
namespace {

// 250,000 baud with 8 data and 2 stop bits: 11 bits, 44 us a byte. The latency timer is 16 ms.
struct ArrivalCase {
    const char* name;
    Bytes frame;
    std::uint32_t nthByte;
    std::int64_t arrivalNs;  // after the write
};

class ReplyArrival : public OpenSimulation, public ::testing::WithParamInterface<ArrivalCase> {
protected:
    void SetUp() override {
        OpenSimulation::SetUp();
        driver.setInstantReplies(false);
    }
};

TEST_P(ReplyArrival, AfterWireTimeAndLatencyTimer) {
    const auto& c = GetParam();
    const auto sentAt = clock.nowNs();
    send(c.frame);
    clock.setNs(sentAt + c.arrivalNs - 1);
    EXPECT_LT(waiting(), c.nthByte) << "not a nanosecond earlier";
    clock.setNs(sentAt);
    EXPECT_EQ(read(c.nthByte).size(), c.nthByte);
    EXPECT_EQ(clock.nowNs() - sentAt, c.arrivalNs);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ReplyArrival,
    ::testing::Values(
        // frame 2 x 44 us, reply 8 x 44 us, then the latency timer
        ArrivalCase{"ReadOutputs", {'V', 0}, 8, 88 * kUs + 352 * kUs + 16 * kMs},
        ArrivalCase{"QueryPower", {'Z', 4, 0}, 1, 132 * kUs + 44 * kUs + 16 * kMs},
        ArrivalCase{"ParameterEcho", {'Z', 2, 0xF0}, 1, 132 * kUs + 44 * kUs + 16 * kMs},
        ArrivalCase{"Scan", {'X'}, 2, 44 * kUs + 88 * kUs + 16 * kMs},
        ArrivalCase{"WorkingWordWrite", {'Y', 0, 49, 0, 0}, 1, 220 * kUs + 44 * kUs + 16 * kMs},
        // the EEPROM takes 5 ms before the acknowledgement
        ArrivalCase{
            "EepromWordWrite", {'Y', 0, 3, 0, 0}, 1, 220 * kUs + 5 * kMs + 44 * kUs + 16 * kMs},
        // a full USB packet of 62 bytes goes at once; the remaining 50 wait for the timer
        ArrivalCase{"ReadAllFirstPacket", {'W', 0}, 62, 88 * kUs + 62 * 44 * kUs},
        ArrivalCase{"ReadAllRest", {'W', 0}, 112, 88 * kUs + 112 * 44 * kUs + 16 * kMs}),
    [](const auto& info) { return std::string(info.param.name); });

class Timing : public ReplyArrival {};

TEST_F(Timing, FollowsTheLineSettingsAndLatencyTimerSet) {
    struct Case {
        std::uint8_t latencyMs;
        std::uint32_t baud;
        std::uint8_t stopBits;
        std::int64_t byteNs;
    };
    const Case cases[] = {
        {2, 250'000, 2, 44 * kUs}, {16, 115'200, 0, 86'805}, {255, 250'000, 0, 40 * kUs}};
    for (const auto& c : cases) {
        ASSERT_EQ(driver.setLatencyTimer(handle, c.latencyMs), FT_OK);
        ASSERT_EQ(driver.setBaudRate(handle, c.baud), FT_OK);
        ASSERT_EQ(driver.setDataCharacteristics(handle, 8, c.stopBits, 0), FT_OK);
        const auto sentAt = clock.nowNs();
        send({'V', 0});
        EXPECT_EQ(read(8).size(), 8u);
        EXPECT_EQ(clock.nowNs() - sentAt, 10 * c.byteNs + c.latencyMs * kMs) << c.baud << " baud";
    }
}

TEST_F(Timing, ReadWaitsNoLongerThanItsTimeout) {
    ASSERT_EQ(driver.setTimeouts(handle, 2000, 2000), FT_OK);
    auto start = clock.nowNs();
    EXPECT_EQ(read(2), Bytes{}) << "nothing in flight";
    EXPECT_EQ(clock.nowNs() - start, 2000 * kMs);

    adapter.shortenNextReply(3);
    start = clock.nowNs();
    send({'V', 0});
    EXPECT_EQ(read(8).size(), 5u);
    EXPECT_EQ(clock.nowNs() - start, 2000 * kMs);

    adapter.delayNextReply(2500);
    start = clock.nowNs();
    send({'Y', 1, 48});
    EXPECT_EQ(read(2), Bytes{});
    EXPECT_EQ(clock.nowNs() - start, 2000 * kMs);
    EXPECT_EQ(read(2), (Bytes{0x01, 0x00})) << "the late reply comes after all";
}

TEST_F(Timing, WithoutTimeoutReadWaitsOnlyForBytesInFlight) {
    const auto start = clock.nowNs();
    EXPECT_EQ(read(2), Bytes{});
    EXPECT_EQ(clock.nowNs(), start);
    send({'Z', 4, 0});
    EXPECT_EQ(read(5), Bytes{0x01});
    EXPECT_EQ(clock.nowNs() - start, 176 * kUs + 16 * kMs);
}

TEST_F(Timing, DelayedReplyComesLaterAndHoldsBackTheNext) {
    adapter.delayNextReply(30);
    const auto start = clock.nowNs();
    send({'Z', 4, 0});
    send({'Z', 2, 0x11});
    EXPECT_EQ(read(1), Bytes{0x01});
    EXPECT_EQ(clock.nowNs() - start, 132 * kUs + 30 * kMs + 44 * kUs + 16 * kMs);
    EXPECT_EQ(read(1), Bytes{0x11});
    EXPECT_EQ(clock.nowNs() - start, 132 * kUs + 30 * kMs + 88 * kUs + 16 * kMs);
}

TEST_F(Timing, ReceivePurgeKeepsBytesStillInFlight) {
    send({'Z', 4, 0});
    clock.advanceMs(10);
    ASSERT_EQ(driver.purge(handle, kPurgeRx | kPurgeTx), FT_OK);
    clock.advanceMs(10);
    EXPECT_EQ(arrived(), Bytes{0x01});
    ASSERT_EQ(driver.purge(handle, kPurgeRx), FT_OK);
    EXPECT_EQ(arrived(), Bytes{});
}

// On the real clock a wait for bytes sleeps until the latency model makes them visible, not a
// moment less, and without bytes it lasts to its deadline.
TEST(TimingOnTheRealClock, WaitEndsWhenTheAwaitedByteIsVisible) {
    SystemClock clock;
    SimulatedDriver driver(clock);
    SimulatedAdapter& adapter = driver.addAdapter();
    adapter.addChip(0);
    FtHandle handle = 0;
    ASSERT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, handle), FT_OK);
    const std::uint8_t frame[] = {'V', 0};
    std::uint32_t written = 0;
    ASSERT_EQ(driver.write(handle, frame, 2, written), FT_OK);
    const std::int64_t sentAt = clock.nowNs();
    const std::int64_t farDeadline = sentAt + 60'000 * kMs;

    std::uint32_t waiting = 0;
    EXPECT_EQ(driver.waitForReceived(handle, 8, farDeadline, clock, waiting), FT_OK);
    EXPECT_EQ(waiting, 8u);
    EXPECT_GE(clock.nowNs() - sentAt, 16 * kMs) << "before the latency timer ran out";
    EXPECT_LT(clock.nowNs(), farDeadline);

    const std::int64_t deadline = clock.nowNs() + 5 * kMs;
    EXPECT_EQ(driver.waitForReceived(handle, 9, deadline, clock, waiting), FT_OK);
    EXPECT_EQ(waiting, 8u);
    EXPECT_GE(clock.nowNs(), deadline);

    adapter.unplug();
    EXPECT_EQ(driver.waitForReceived(handle, 1, farDeadline, clock, waiting), FT_IO_ERROR);
}

}  // namespace
}  // namespace qe::sim::test
