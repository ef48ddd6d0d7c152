// Faults a test arms in one call, seen at the byte level.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "category_log.h"
#include "open_simulation.h"

namespace qe::sim::test {
namespace {

const Bytes kOutputs = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00};

struct FaultCase {
    const char* name;
    std::function<void(SimulatedAdapter&)> arm;
    std::vector<std::pair<Bytes, Bytes>> exchanges;  // frame, reply
};

class ReplyFaults : public OpenSimulation, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ReplyFaults, ApplyAsArmed) {
    const auto& c = GetParam();
    c.arm(adapter);
    for (std::size_t i = 0; i < c.exchanges.size(); ++i)
        EXPECT_EQ(exchange(c.exchanges[i].first), c.exchanges[i].second) << "exchange " << i;
}

const Bytes kWrite49 = {'Y', 0, 49, 0x12, 0x34};

INSTANTIATE_TEST_SUITE_P(
    Sim, ReplyFaults,
    ::testing::Values(FaultCase{"LostOnce",
                                [](auto& a) { a.loseNextReply(); },
                                {{{'V', 0}, {}}, {{'V', 0}, kOutputs}}},
                      FaultCase{"LostReplyWaitsForAFrameWithReply",
                                [](auto& a) { a.loseNextReply(); },
                                {{{'Z', 3, 255}, {}}, {{'Z', 4, 0}, {}}, {{'Z', 4, 0}, {0x01}}}},
                      FaultCase{"ShortOnce",
                                [](auto& a) { a.shortenNextReply(3); },
                                {{{'V', 0}, Bytes(kOutputs.begin(), kOutputs.begin() + 5)},
                                 {{'V', 0}, kOutputs}}},
                      FaultCase{"ShortScanLosesItsEndMarker",
                                [](auto& a) { a.shortenNextReply(1); },
                                {{{'X'}, {0x00}}, {{'X'}, {0x00, 0xFF}}}},
                      FaultCase{"SurplusOnce",
                                [](auto& a) { a.addSurplusBytes(1); },
                                {{{'V', 0}, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0xA5}},
                                 {{'V', 0}, kOutputs}}},
                      FaultCase{"SurplusOfChosenValue",
                                [](auto& a) { a.addSurplusBytes(2, 0x13); },
                                {{{'X'}, {0x00, 0xFF, 0x13, 0x13}}}},
                      FaultCase{"RefusedRegister",
                                [](auto& a) { a.refuseWritesTo(49); },
                                {{kWrite49, {0x00}},
                                 {{'Y', 1, 49}, {0x00, 0x00}},
                                 {{'Y', 0, 50, 0, 3}, {0x01}},
                                 {kWrite49, {0x00}}}},
                      FaultCase{"EveryThirdWriteRefused",
                                [](auto& a) { a.refuseEveryNthWrite(3); },
                                {{kWrite49, {0x01}},
                                 {kWrite49, {0x01}},
                                 {kWrite49, {0x00}},
                                 {kWrite49, {0x01}},
                                 {kWrite49, {0x01}},
                                 {kWrite49, {0x00}}}},
                      FaultCase{"ClearedFaults",
                                [](auto& a) {
                                    a.refuseWritesTo(49);
                                    a.refuseEveryNthWrite(1);
                                    a.loseNextReply();
                                    a.clearFaults();
                                },
                                {{kWrite49, {0x01}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenSimulation, CutWritesTakeOnlyTheirFirstBytes) {
    struct Case {
        const char* name;
        std::function<void(SimulatedAdapter&)> arm;
        std::vector<std::uint32_t> written;  // by three writes of the same frame
    };
    const Case cases[] = {
        {"NextWrite", [](auto& a) { a.acceptPartOfNextWrite(3); }, {3, 5, 5}},
        {"NextWriteTakesNothing", [](auto& a) { a.acceptPartOfNextWrite(0); }, {0, 5, 5}},
        {"NextWriteLimitAboveTheFrame", [](auto& a) { a.acceptPartOfNextWrite(9); }, {5, 5, 5}},
        {"EveryWrite", [](auto& a) { a.acceptPartOfEveryWrite(2); }, {2, 2, 2}},
        {"Cleared",
         [](auto& a) {
             a.acceptPartOfNextWrite(1);
             a.acceptPartOfEveryWrite(1);
             a.clearFaults();
         },
         {5, 5, 5}},
    };
    for (const auto& c : cases) {
        adapter.clearFaults();
        c.arm(adapter);
        for (std::size_t i = 0; i < c.written.size(); ++i) {
            clock.advanceMs(60);  // past the firmware's frame gap, so each write starts afresh
            const auto acks = c.written[i] == kWrite49.size() ? Bytes{0x01} : Bytes{};
            EXPECT_EQ(write(kWrite49), c.written[i]) << c.name << " write " << i;
            EXPECT_EQ(arrived(), acks) << c.name << " write " << i;
        }
    }
}

TEST_F(OpenSimulation, CutWriteWaitsItsTimeoutAndItsFragmentIsDropped) {
    ASSERT_EQ(driver.setTimeouts(handle, 2000, 300), FT_OK);
    adapter.acceptPartOfNextWrite(3);
    const auto start = clock.nowNs();
    EXPECT_EQ(write(kWrite49), 3u);
    EXPECT_EQ(clock.nowNs() - start, 300 * kMs);
    EXPECT_EQ(exchange({'Y', 1, 48}), (Bytes{0x01, 0x00}));
    EXPECT_EQ(
        driver.transcript().texts({Transcript::Kind::Frame, Transcript::Kind::Note}),
        (std::vector<std::string>{"write cut to 3 of 5", "dropped 0x59 0x00 0x31", "R 0 48"}));
}

TEST_F(OpenSimulation, TranscriptNotesTheFaultsApplied) {
    adapter.loseNextReply();
    send({'X'});
    adapter.shortenNextReply(1);
    adapter.addSurplusBytes(2);
    adapter.delayNextReply(7);
    send({'X'});
    EXPECT_EQ(driver.transcript().texts({Transcript::Kind::Frame, Transcript::Kind::Note}),
              (std::vector<std::string>{"scan", "reply lost", "scan", "reply shortened by 1",
                                        "reply with 2 surplus", "reply delayed by 7 ms"}));
}

// The faults as they strike, and the calls they fail, go to the qe7204.sim log as well.
TEST_F(OpenSimulation, FaultsAreLoggedAsTheyStrike) {
    const qe::test::CategoryLog log("qe7204.sim");
    adapter.loseNextReply();
    send({'X'});
    adapter.failCall("FT_SetLatencyTimer", FT_IO_ERROR);
    EXPECT_EQ(driver.setLatencyTimer(handle, 16), FT_IO_ERROR);
    adapter.unplug();
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"QE000001 reply lost", "QE000001 latency 16 failed 4",
                                        "QE000001 unplugged"}));
}

}  // namespace
}  // namespace qe::sim::test
