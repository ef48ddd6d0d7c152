// The one readout loop: every read of the output words is stamped with the time its request
// left, published to whoever listens, and at a pace it keeps its interval, tells gaps from
// the end of the reading, and stops when asked.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "adapter_link_access.h"
#include "chip.h"
#include "chip_access.h"
#include "link_rig.h"
#include "readout_loop.h"

namespace qe::chip::test {
namespace {

using qe::test::AdapterLinkAccess;
using qe::test::ChipAccess;

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kStartNs = 5'000 * kMs;

// The output words with AbsPos as given.
Bytes outputsReply(std::uint16_t absolute) {
    return {0x00,
            0x00,
            static_cast<std::uint8_t>(absolute >> 8),
            static_cast<std::uint8_t>(absolute & 0xFF),
            0x00,
            0x00,
            0x00,
            0x00};
}

// What the stream told, in order: "readout 123 @ns", "gap @ns", "adapter lost".
struct Listener final : ReadoutObserver {
    std::vector<std::string> told;
    void readoutArrived(const ReadoutSample& s) override {
        told.push_back("readout " + std::to_string(s.readout.absolute) + " @" +
                       std::to_string((s.requestNs - kStartNs) / kMs));
    }
    void readoutFailed(std::int64_t requestNs) override {
        told.push_back("gap @" + std::to_string((requestNs - kStartNs) / kMs));
    }
    void adapterLost() override { told.push_back("adapter lost"); }
};

struct LoopRig {
    LoopRig() : chip(driver, clock, sink, {}) {
        AdapterLinkAccess::setAdapterHandle(ChipAccess::link(chip), 0x1000);
        ChipAccess::setChipAddress(chip, kChip);
        chip.readouts().stream().add(&listener);
    }
    ~LoopRig() { chip.readouts().stream().remove(&listener); }
    // Replies to the next reads, `afterMs` after each request; empty: no reply.
    void replies(const std::vector<Bytes>& bytes, std::int64_t afterMs = 0) {
        for (const Bytes& reply : bytes) driver.replyToNextWrite(reply, afterMs);
    }
    std::vector<std::int64_t> writesAtMs() const {
        std::vector<std::int64_t> at;
        for (const auto& call : driver.calls)
            if (call.name == "FT_Write") at.push_back((call.atNs - kStartNs) / kMs);
        return at;
    }

    ManualClock clock{kStartNs};
    qe::test::ScriptedDriver driver{clock};
    qe::test::RecordingSink sink;
    Chip chip;
    Listener listener;
};

TEST(ReadoutLoop, StampsAReadoutWhenItsRequestLeftNotWhenTheReplyCame) {
    LoopRig r;
    r.clock.advanceMs(7);
    r.replies({outputsReply(1234)}, 15);
    const auto before = std::chrono::system_clock::now();
    const std::optional<ReadoutSample> sample = r.chip.readouts().step();
    const auto after = std::chrono::system_clock::now();

    ASSERT_TRUE(sample);
    EXPECT_EQ(r.driver.frames(), std::vector<Bytes>{outputsFrame()});
    EXPECT_EQ(r.writesAtMs(), std::vector<std::int64_t>{7});
    EXPECT_EQ(sample->requestNs, kStartNs + 7 * kMs);
    EXPECT_GE(r.clock.nowNs(), kStartNs + 22 * kMs) << "the reply came 15 ms later";
    EXPECT_EQ(sample->readout.absolute, 1234);
    EXPECT_EQ(r.listener.told, std::vector<std::string>{"readout 1234 @7"});
    // The wall-clock stamp is the request's too: as long before now as the exchange took.
    const auto exchange = std::chrono::nanoseconds(r.clock.nowNs() - sample->requestNs);
    EXPECT_LE(sample->wallTime, after - exchange);
    EXPECT_GE(sample->wallTime, before - exchange);
}

TEST(ReadoutLoop, AStepThatGetsNoReplyIsAGapAtItsRequestTime) {
    LoopRig r;
    r.replies({kSilence, outputsReply(5)});
    EXPECT_FALSE(r.chip.readouts().step());
    r.clock.advanceMs(50);
    EXPECT_TRUE(r.chip.readouts().step());
    ASSERT_EQ(r.listener.told.size(), 2u);
    EXPECT_EQ(r.listener.told[0], "gap @0");
    EXPECT_EQ(r.listener.told[1].rfind("readout 5 @", 0), 0u) << r.listener.told[1];
}

TEST(ReadoutLoop, PacedReadingKeepsItsIntervalThroughGaps) {
    LoopRig r;
    r.replies({outputsReply(1), kSilence, outputsReply(2), outputsReply(3)}, 4);
    ReadoutPace pace;
    pace.count = 3;
    EXPECT_EQ(r.chip.readouts().run(pace, {}), ReadoutEnd::Counted);
    EXPECT_EQ(pace.readouts, 3);
    EXPECT_EQ(pace.gaps, 1);
    // The read due at 100 first waits out what the lost reply may still send (until 36 ms
    // after it was given up at 71): its stamp is when it really left, not when it was due.
    EXPECT_EQ(r.writesAtMs(), (std::vector<std::int64_t>{0, 50, 107, 150}));
    EXPECT_EQ(r.listener.told, (std::vector<std::string>{"readout 1 @0", "gap @50",
                                                         "readout 2 @107", "readout 3 @150"}));
}

// As the window's poll catches up: the read after a late one is due on the interval's grid.
TEST(ReadoutLoop, AReplySlowerThanTheIntervalDelaysOnlyTheNextRead) {
    LoopRig r;
    r.replies({outputsReply(1)}, 0);
    r.replies({outputsReply(2)}, 70);  // late past the designed limit: taken with patience
    r.replies({outputsReply(3), outputsReply(4)}, 0);
    r.chip.setReplyTimeoutMs(116);
    ReadoutPace pace;
    pace.count = 4;
    EXPECT_EQ(r.chip.readouts().run(pace, {}), ReadoutEnd::Counted);
    EXPECT_EQ(r.writesAtMs(), (std::vector<std::int64_t>{0, 50, 120, 150}));
}

TEST(ReadoutLoop, PacedReadingEnds) {
    struct Case {
        const char* name;
        int readsAnswered;  // then unplugged, or silent for good
        bool unplug;
        ReadoutEnd end;
        std::size_t told;  // what the listeners were told
    };
    for (const Case& c : {
             Case{"adapter unplugged", 2, true, ReadoutEnd::AdapterLost, 3},
             // The last gap ends the reading and is not told as a gap.
             Case{"chip silent", 1, false, ReadoutEnd::ChipSilent, 1 + kMaxGapsInARow - 1},
         }) {
        SCOPED_TRACE(c.name);
        LoopRig r;
        for (int i = 0; i < c.readsAnswered; ++i) r.replies({outputsReply(9)});
        if (c.unplug) r.driver.unplugAfterFrames(c.readsAnswered);
        ReadoutPace pace;
        EXPECT_EQ(r.chip.readouts().run(pace, {}), c.end);
        EXPECT_EQ(pace.readouts, c.readsAnswered);
        EXPECT_EQ(r.listener.told.size(), c.told);
        if (c.unplug) {
            EXPECT_EQ(r.listener.told.back(), "adapter lost");
            EXPECT_FALSE(r.chip.adapterOpen());
        } else {
            EXPECT_EQ(r.listener.told.back().rfind("gap @", 0), 0u) << r.listener.told.back();
        }
    }
}

TEST(ReadoutLoop, AStopEndsTheReadingBeforeTheNextRequest) {
    LoopRig r;
    r.replies({outputsReply(1), outputsReply(2), outputsReply(3)});
    ReadoutPace pace;
    pace.intervalNs = 1'000 * kMs;
    int looks = 0;
    // Asked while waiting too: a long interval does not hold a Ctrl-C back.
    const auto stop = [&] { return r.listener.told.size() == 1 && ++looks > 3; };
    EXPECT_EQ(r.chip.readouts().run(pace, stop), ReadoutEnd::Stopped);
    EXPECT_EQ(r.driver.frames().size(), 1u);
    EXPECT_LT(r.clock.nowNs() - kStartNs, 200 * kMs);
}

}  // namespace
}  // namespace qe::chip::test
