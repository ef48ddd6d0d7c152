// Faults a test arms in one call, seen at the byte level.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

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
    ::testing::Values(
        FaultCase{"LostOnce", [](auto& a) { a.loseNextReply(); },
                  {{{'V', 0}, {}}, {{'V', 0}, kOutputs}}},
        FaultCase{"LostReplyWaitsForAFrameWithReply", [](auto& a) { a.loseNextReply(); },
                  {{{'Z', 3, 255}, {}}, {{'Z', 4, 0}, {}}, {{'Z', 4, 0}, {0x01}}}},
        FaultCase{"ShortOnce", [](auto& a) { a.shortenNextReply(3); },
                  {{{'V', 0}, Bytes(kOutputs.begin(), kOutputs.begin() + 5)}, {{'V', 0}, kOutputs}}},
        FaultCase{"ShortScanLosesItsEndMarker", [](auto& a) { a.shortenNextReply(1); },
                  {{{'X'}, {0x00}}, {{'X'}, {0x00, 0xFF}}}},
        FaultCase{"SurplusOnce", [](auto& a) { a.addSurplusBytes(1); },
                  {{{'V', 0}, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0xA5}}, {{'V', 0}, kOutputs}}},
        FaultCase{"SurplusOfChosenValue", [](auto& a) { a.addSurplusBytes(2, 0x13); },
                  {{{'X'}, {0x00, 0xFF, 0x13, 0x13}}}},
        FaultCase{"RefusedRegister", [](auto& a) { a.refuseWritesTo(49); },
                  {{kWrite49, {0x00}}, {{'Y', 1, 49}, {0x00, 0x00}}, {{'Y', 0, 50, 0, 3}, {0x01}}, {kWrite49, {0x00}}}},
        FaultCase{"EveryThirdWriteRefused", [](auto& a) { a.refuseEveryNthWrite(3); },
                  {{kWrite49, {0x01}}, {kWrite49, {0x01}}, {kWrite49, {0x00}},
                   {kWrite49, {0x01}}, {kWrite49, {0x01}}, {kWrite49, {0x00}}}},
        FaultCase{"ClearedFaults",
                  [](auto& a) {
                      a.refuseWritesTo(49);
                      a.refuseEveryNthWrite(1);
                      a.loseNextReply();
                      a.clearFaults();
                  },
                  {{kWrite49, {0x01}}}}),
    [](const auto& info) { return std::string(info.param.name); });

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

}  // namespace
}  // namespace qe::sim::test
