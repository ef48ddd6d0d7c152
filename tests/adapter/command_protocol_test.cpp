#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "adapter_link.h"
#include "adapter_link_access.h"
#include "recording_sink.h"
#include "scripted_driver.h"

namespace qe {
namespace {

using test::RecordingSink;
using test::ScriptedDriver;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kMs = 1'000'000;
constexpr FtHandle kOpenHandle = 0x1000;
constexpr std::uint16_t kUntouched = 0xBEEF;

// An adapter link over a scripted driver on a manual clock, with an adapter open.
struct Rig {
    explicit Rig(std::int64_t startNs = 0) : clock(startNs) {
        qe::test::AdapterLinkAccess::setAdapterHandle(link, kOpenHandle);
        image.fill(kUntouched);
    }
    ManualClock clock;
    ScriptedDriver driver{clock};
    RecordingSink sink;
    RegisterImage image{};
    AdapterLink link{driver, clock, sink, image};
};

// The driver calls that matter to the adapter, as short readable lines.
std::vector<std::string> exchange(const ScriptedDriver& driver) {
    std::vector<std::string> lines;
    for (const auto& call : driver.calls) {
        std::string line = call.name;
        if (call.name == "FT_Write") {
            line = "write";
            for (auto byte : call.bytes) line += " " + std::to_string(byte);
            if (call.bytes.size() != call.arg) line += " of " + std::to_string(call.arg);
        } else if (call.name == "FT_Read") {
            line = "read " + std::to_string(call.arg);
        } else if (call.name == "FT_Purge") {
            line = call.arg == kPurgeRx ? "purge rx" : "purge tx";
        }
        lines.push_back(line);
    }
    return lines;
}

std::int64_t timeOf(const ScriptedDriver& driver, const std::string& name) {
    for (const auto& call : driver.calls)
        if (call.name == name) return call.atNs;
    ADD_FAILURE() << name << " was never called";
    return -1;
}

// An operation reduced to its success, so one table can hold them all.
using Operation = std::function<bool(AdapterLink&)>;

const Operation kWrite32 = [](AdapterLink& l) { return l.WriteRegister(21, 32, 0x1234); };
const Operation kWrite31 = [](AdapterLink& l) { return l.WriteRegister(21, 31, 0x1234); };
const Operation kRead = [](AdapterLink& l) { return l.ReadRegister(21, 7).ok; };
const Operation kReadAll = [](AdapterLink& l) { return l.ReadAllRegisters(21); };
const Operation kOutputs = [](AdapterLink& l) { return l.ReadOutputRegisters(21); };
const Operation kScan = [](AdapterLink& l) { return l.ScanBus(); };
const Operation kPowerOn = [](AdapterLink& l) {
    l.PowerOn();
    return l.chipPowered();
};
const Operation kPowerOff = [](AdapterLink& l) {
    l.PowerOff();
    return l.chipPowered();
};
const Operation kQueryPower = [](AdapterLink& l) { return l.QueryPower(); };
const Operation kParameters = [](AdapterLink& l) { return l.SetAdapterParameters(15, 0); };

// Reply bytes reaching the receive queue in batches, each atMs after the next frame goes out.
// Later batches are placed on the clock as if that frame went out at time 0, as it does in
// a fresh Rig. (Bytes queued before a frame are purged as stale, so replies are never
// scripted to be there already.)
struct Arrival {
    std::int64_t atMs;
    Bytes bytes;
};

void scriptArrivals(ScriptedDriver& driver, const std::vector<Arrival>& arrivals) {
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        if (i == 0)
            driver.replyToNextWrite(arrivals[i].bytes, arrivals[i].atMs);
        else
            driver.arriveAt(arrivals[i].atMs * kMs, arrivals[i].bytes);
    }
}

Bytes counting(std::size_t n, std::uint8_t first = 0) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

// --- Frames --------------------------------------------------------------------------------

TEST(CommandFrames, EachOperationSendsItsFramesByteForByte) {
    struct Case {
        const char* name;
        Operation run;
        std::vector<Bytes> frames;
    };
    const Case cases[] = {
        {"write", kWrite32, {{89, 42, 32, 0x12, 0x34}}},
        {"write to address 127",
         [](AdapterLink& l) { return l.WriteRegister(127, 0, 0xFFFF); },
         {{89, 254, 0, 255, 255}}},
        {"read", kRead, {{89, 43, 7}}},
        {"read at address 127",
         [](AdapterLink& l) { return l.ReadRegister(127, 55).ok; },
         {{89, 255, 55}}},
        {"read all", kReadAll, {{87, 42}}},
        {"outputs", kOutputs, {{86, 42}}},
        {"scan", kScan, {{88}}},
        {"power on", kPowerOn, {{90, 3, 255}, {90, 4, 0}}},
        {"power off", kPowerOff, {{90, 3, 0}, {90, 4, 0}}},
        {"query power", kQueryPower, {{90, 4, 0}}},
        {"parameters 15, 0", kParameters, {{90, 2, 240}}},
        {"parameters 3, 10",
         [](AdapterLink& l) { return l.SetAdapterParameters(3, 10); },
         {{90, 2, 0x3A}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.run(rig.link);
        EXPECT_EQ(rig.driver.frames(), c.frames);
    }
}

// --- Replies: results, reads and purges ----------------------------------------------------

TEST(CommandReplies, ResultReadsAndPurgesFollowTheReply) {
    struct Case {
        const char* name;
        Operation run;
        Bytes reply;
        bool replied;
        bool result;
        std::vector<std::string> exchange;
    };
    const std::string write = "write 89 42 32 18 52";
    const std::string readAll = "write 87 42";
    const std::string outputs = "write 86 42";
    const std::string parameters = "write 90 2 240";
    const std::string query = "write 90 4 0";
    const Case cases[] = {
        {"write acknowledged", kWrite32, {1}, true, true, {write, "read 1"}},
        {"write refused", kWrite32, {0}, true, false, {write, "read 1"}},
        {"write answered twice",
         kWrite32,
         {1, 1},
         true,
         false,
         {write, "read 2", "purge rx", "purge tx"}},
        {"write unanswered", kWrite32, {}, false, false, {write, "read 0", "purge rx", "purge tx"}},
        {"read all, 112 bytes", kReadAll, counting(112), true, true, {readAll, "read 112"}},
        {"read all, 113 bytes",
         kReadAll,
         counting(113),
         true,
         true,
         {readAll, "read 113", "purge rx"}},
        {"read all, 111 bytes",
         kReadAll,
         counting(111),
         true,
         false,
         {readAll, "read 111", "purge rx"}},
        {"outputs, 8 bytes", kOutputs, counting(8), true, true, {outputs, "read 8"}},
        {"outputs, 9 bytes", kOutputs, counting(9), true, false, {outputs, "purge rx", "purge tx"}},
        {"outputs, 7 bytes", kOutputs, counting(7), true, false, {outputs, "purge rx", "purge tx"}},
        {"parameters echoed", kParameters, {240}, true, true, {parameters, "read 1"}},
        {"parameters echo differs",
         kParameters,
         {0x0F},
         true,
         false,
         {parameters, "read 1", "purge rx"}},
        {"parameters answered twice",
         kParameters,
         {240, 240},
         true,
         false,
         {parameters, "purge rx"}},
        {"parameters unanswered", kParameters, {}, false, false, {parameters, "purge rx"}},
        {"supply on", kQueryPower, {1}, true, true, {query, "read 1"}},
        {"supply off", kQueryPower, {0}, true, false, {query, "read 1"}},
        {"supply unanswered", kQueryPower, {}, false, false, {query, "read 0"}},
        // The supply answer is one byte: with more nobody can tell which is the answer. Any
        // byte but 0 means on (the line was clean before the query).
        {"supply answered twice", kQueryPower, {1, 1}, true, false, {query, "read 2", "purge rx"}},
        {"supply answer 240", kQueryPower, {240}, true, true, {query, "read 1"}},
        {"supply answer 2", kQueryPower, {2}, true, true, {query, "read 1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (c.replied) rig.driver.replyToNextWrite(c.reply);
        EXPECT_EQ(c.run(rig.link), c.result);
        EXPECT_EQ(exchange(rig.driver), c.exchange);
        EXPECT_TRUE(rig.sink.shown.empty());
    }
}

// Only a reply of 0 is a refusal; anything else that is not one non-zero byte is no answer.
TEST(CommandReplies, WriteReplyTellsARefusalFromNoAnswer) {
    const struct {
        const char* name;
        bool adapterOpen;
        std::optional<Bytes> reply;
        WriteReply expected;
    } cases[] = {
        {"acknowledged", true, Bytes{1}, WriteReply::Acknowledged},
        {"refused", true, Bytes{0}, WriteReply::Refused},
        {"answered twice", true, Bytes{0, 0}, WriteReply::Missing},
        {"unanswered", true, std::nullopt, WriteReply::Missing},
        {"no adapter", false, Bytes{0}, WriteReply::Missing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (!c.adapterOpen) qe::test::AdapterLinkAccess::setAdapterHandle(rig.link, 0);
        if (c.reply) rig.driver.replyToNextWrite(*c.reply);
        EXPECT_EQ(rig.link.writeRegisterReply(21, 32, 0x1234), c.expected);
    }
}

TEST(CommandReplies, RepliedWordsLandHighByteFirstInTheirRegisters) {
    Rig rig;
    Bytes all = counting(112, 0x10);
    all.push_back(0xEE);  // surplus byte, ignored
    rig.driver.replyToNextWrite(all);
    ASSERT_TRUE(rig.link.ReadAllRegisters(21));
    for (std::size_t i = 0; i < kRegisterCount; ++i)
        EXPECT_EQ(rig.image[i], (0x10 + 2 * i) << 8 | (0x11 + 2 * i)) << "word " << i;

    rig.driver.replyToNextWrite({0xA1, 0xA2, 0xB1, 0xB2, 0xC1, 0xC2, 0xD1, 0xD2});
    ASSERT_TRUE(rig.link.ReadOutputRegisters(21));
    EXPECT_EQ(rig.image[31], 0x4E4F);
    EXPECT_EQ(rig.image[32], 0xA1A2);
    EXPECT_EQ(rig.image[33], 0xB1B2);
    EXPECT_EQ(rig.image[34], 0xC1C2);
    EXPECT_EQ(rig.image[35], 0xD1D2);
    EXPECT_EQ(rig.image[36], 0x5859);

    rig.driver.replyToNextWrite({0xFE, 0xDC});
    const RegisterRead read = rig.link.ReadRegister(21, 7);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.word, 0xFEDC);
    EXPECT_EQ(rig.image[7], 0xFEDC);
    EXPECT_EQ(rig.image[6], 0x1C1D);
}

TEST(CommandReplies, SurplusOutputReplyKeepsTheOutputWords) {
    Rig rig;
    rig.driver.replyToNextWrite(counting(9, 1));
    EXPECT_FALSE(rig.link.ReadOutputRegisters(21));
    for (std::size_t reg = 32; reg < 36; ++reg) EXPECT_EQ(rig.image[reg], kUntouched);
}

TEST(CommandReplies, FailedReadIsReportedAndItsCountUsed) {
    Rig rig;
    rig.driver.failCall("FT_Read", FT_IO_ERROR);
    rig.driver.replyToNextWrite({1});
    EXPECT_FALSE(rig.link.WriteRegister(21, 32, 0x1234));
    EXPECT_EQ(exchange(rig.driver),
              (std::vector<std::string>{"write 89 42 32 18 52", "read 1", "purge rx", "purge tx"}));
    ASSERT_EQ(rig.sink.shown.size(), 1u);
    EXPECT_EQ(rig.sink.shown[0].first, MessageKind::Critical);
    EXPECT_EQ(rig.sink.shown[0].second, "FT_Read - General IO error...");
}

// The first look is the one for stale bytes before sending, the second the first of the wait.
TEST(CommandReplies, FailedQueueQueryEndsTheOperationWithoutPurge) {
    struct Case {
        const char* name;
        Operation run;
        std::string frame;
    };
    const Case cases[] = {
        {"write", kWrite32, "write 89 42 32 18 52"},
        {"read", kRead, "write 89 43 7"},
        {"read all", kReadAll, "write 87 42"},
        {"outputs", kOutputs, "write 86 42"},
        {"scan", kScan, "write 88"},
        {"parameters", kParameters, "write 90 2 240"},
        {"query power", kQueryPower, "write 90 4 0"},
    };
    for (const auto& c : cases) {
        for (const int looksThatSucceed : {0, 1}) {
            SCOPED_TRACE(std::string(c.name) + ", failing from look " +
                         std::to_string(looksThatSucceed + 1));
            Rig rig;
            const RegisterImage before = rig.image;
            rig.driver.failCallAfter("FT_GetQueueStatus", FT_IO_ERROR, looksThatSucceed);
            rig.driver.replyToNextWrite(counting(112));
            EXPECT_FALSE(c.run(rig.link));
            EXPECT_EQ(exchange(rig.driver), looksThatSucceed == 0
                                                ? std::vector<std::string>{}
                                                : std::vector<std::string>{c.frame});
            EXPECT_EQ(rig.clock.nowNs(), 0) << "the wait went on";
            EXPECT_EQ(rig.image, before);
            EXPECT_TRUE(rig.sink.shown.empty());
        }
    }
}

// --- Waits and time limits -----------------------------------------------------------------

TEST(CommandWaits, WritesBelowRegister32PauseForTheEeprom) {
    struct Case {
        std::uint8_t reg;
        std::int64_t pauseMs;
    };
    for (const Case c : {Case{0, 20}, Case{31, 20}, Case{32, 0}, Case{55, 0}}) {
        SCOPED_TRACE(static_cast<int>(c.reg));
        Rig rig;
        rig.driver.replyToNextWrite({1});
        EXPECT_TRUE(rig.link.WriteRegister(21, c.reg, 0x0102));
        EXPECT_EQ(timeOf(rig.driver, "FT_Read") - timeOf(rig.driver, "FT_Write"), c.pauseMs * kMs);
    }
}

// A reply at the limit counts, and so does one in the last microsecond before the tick count
// passes it; one that comes after the look that found the limit passed does not; with no
// reply the operation gives up 1 ms after the limit, the first tick past it.
TEST(CommandWaits, TimeLimitsHoldToTheMillisecond) {
    struct Case {
        const char* name;
        Operation run;
        std::int64_t limitMs;
        Bytes reply;
    };
    const Case cases[] = {
        {"write", kWrite32, 2000, {1}},         {"write with EEPROM pause", kWrite31, 2000, {1}},
        {"read", kRead, 2000, {0x12, 0x34}},    {"read all", kReadAll, 4000, counting(112)},
        {"outputs", kOutputs, 20, counting(8)}, {"query power", kQueryPower, 20, {1}},
        {"parameters", kParameters, 20, {240}}, {"scan", kScan, 1000, {0x12, 0xFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            Rig rig;
            rig.driver.replyToNextWrite(c.reply, c.limitMs);
            EXPECT_TRUE(c.run(rig.link)) << "reply at the limit";
        }
        {
            Rig rig;
            rig.driver.arriveAt((c.limitMs + 1) * kMs - 1'000, c.reply);
            EXPECT_TRUE(c.run(rig.link)) << "reply just before the limit passed";
        }
        {
            Rig rig;
            rig.driver.arriveAt((c.limitMs + 1) * kMs + 50'000, c.reply);
            EXPECT_FALSE(c.run(rig.link)) << "reply after the limit";
        }
        {
            Rig rig;
            EXPECT_FALSE(c.run(rig.link)) << "no reply";
            EXPECT_EQ(rig.clock.nowNs(), (c.limitMs + 1) * kMs);
        }
    }
}

TEST(CommandWaits, QueueIsLookedAtAgainWithinAFifthOfAMillisecond) {
    for (const std::int64_t arrivalNs :
         {std::int64_t{50'000}, 5 * kMs + 50'000, 17 * kMs + 199'999}) {
        SCOPED_TRACE(arrivalNs);
        Rig rig;
        rig.driver.arriveAt(arrivalNs, counting(8));
        EXPECT_TRUE(rig.link.ReadOutputRegisters(21));
        const std::int64_t lag = timeOf(rig.driver, "FT_Read") - arrivalNs;
        EXPECT_GE(lag, 0);
        EXPECT_LE(lag, 200'000);
    }
}

TEST(CommandWaits, TickCountWrapDuringAWaitDoesNoHarm) {
    const std::int64_t tenMsBeforeWrap = ((std::int64_t{1} << 32) - 10) * kMs;
    struct Case {
        const char* name;
        Operation run;
        Bytes reply;
        std::int64_t replyAfterMs;  // negative: none
        bool result;
        std::int64_t lastedMs;
    };
    const Case cases[] = {
        {"outputs answered across the wrap", kOutputs, counting(8), 15, true, 15},
        {"power answered across the wrap", kQueryPower, {1}, 15, true, 15},
        {"power unanswered across the wrap", kQueryPower, {}, -1, false, 21},
        {"write unanswered across the wrap", kWrite31, {}, -1, false, 2001},
        {"scan unanswered across the wrap", kScan, {}, -1, false, 1001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(tenMsBeforeWrap);
        if (c.replyAfterMs >= 0) rig.driver.replyToNextWrite(c.reply, c.replyAfterMs);
        EXPECT_EQ(c.run(rig.link), c.result);
        EXPECT_EQ(rig.clock.nowNs() - tenMsBeforeWrap, c.lastedMs * kMs);
    }
}

// --- Bus scan ------------------------------------------------------------------------------

TEST(CommandScan, AddressesUpToTheEndMarker) {
    struct Case {
        const char* name;
        std::vector<Arrival> arrivals;
        std::vector<std::uint8_t> list;
        bool result;
        std::int64_t lastedMs;
        bool purged = false;
    };
    const Case cases[] = {
        {"one chip", {{0, {0x12, 0xFF}}}, {0x12}, true, 0},
        {"no chip", {{0, {0xFF}}}, {}, false, 0},
        {"two chips, marker 0x80", {{0, {0x12, 0x13, 0x80}}}, {0x12, 0x13}, true, 0},
        {"list over two reads", {{0, {0x12}}, {5, {0x13, 0x80}}}, {0x12, 0x13}, true, 5},
        {"no marker", {{0, {0x12, 0x13}}}, {0x12, 0x13}, false, 1001},
        {"nothing", {}, {}, false, 1001},
        // The line is clean before the scan, so addresses in any order are the chips'.
        {"addresses in any order",
         {{0, {0x05, 0x12, 0x0A, 0x33, 0x80}}},
         {0x05, 0x12, 0x0A, 0x33},
         true,
         0},
        {"an address twice", {{0, {0x12}}, {3, {0x12, 0xFF}}}, {0x12, 0x12}, true, 3},
        // The adapter sends nothing after the marker: the scan fails there, with the receive
        // queue purged, and keeps the addresses before it.
        {"address after the marker in the same read",
         {{0, {0x12, 0xFF, 0x14}}},
         {0x12},
         false,
         0,
         true},
        {"two markers", {{0, {0x12, 0xFF, 0xFF}}}, {0x12}, false, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        qe::test::AdapterLinkAccess::setChipAddressList(rig.link, {0x55});
        scriptArrivals(rig.driver, c.arrivals);
        EXPECT_EQ(rig.link.ScanBus(), c.result);
        EXPECT_EQ(rig.link.chipAddressList(), c.list);
        EXPECT_EQ(rig.driver.frames(), std::vector<Bytes>{{88}});
        EXPECT_EQ(rig.driver.count("FT_Purge"), c.purged ? 1 : 0);
        // It ends at the first look at or after that time; looks are at most 0.2 ms apart.
        EXPECT_GE(rig.clock.nowNs(), c.lastedMs * kMs);
        EXPECT_LT(rig.clock.nowNs(), c.lastedMs * kMs + 200'000);
    }
}

TEST(CommandScan, FailingQueueQueryKeepsTheAddressesCollected) {
    Rig rig;
    qe::test::AdapterLinkAccess::setChipAddressList(rig.link, {0x55});
    rig.driver.replyToNextWrite({0x12});
    rig.driver.failCallFrom("FT_GetQueueStatus", FT_IO_ERROR, 5 * kMs);
    EXPECT_FALSE(rig.link.ScanBus());
    EXPECT_EQ(rig.link.chipAddressList(), (std::vector<std::uint8_t>{0x12}));
    EXPECT_GE(rig.clock.nowNs(), 5 * kMs);
    EXPECT_LT(rig.clock.nowNs(), 5 * kMs + 200'000);
    EXPECT_EQ(rig.driver.count("FT_Purge"), 0);
}

TEST(CommandScan, FailingReadEndsTheScanWithOneErrorBox) {
    struct Case {
        const char* name;
        Bytes reply;
        std::vector<std::string> exchange;
    };
    const Case cases[] = {
        {"reply waiting", {0x12, 0xFF}, {"write 88", "read 2", "purge rx"}},
        {"nothing waiting", {}, {"write 88", "read 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.driver.failCall("FT_Read", FT_IO_ERROR);
        rig.driver.replyToNextWrite(c.reply);
        EXPECT_FALSE(rig.link.ScanBus());
        EXPECT_TRUE(rig.link.chipAddressList().empty());
        EXPECT_EQ(exchange(rig.driver), c.exchange);
        EXPECT_EQ(rig.sink.texts(), std::vector<std::string>{"FT_Read - General IO error..."});
        EXPECT_EQ(rig.clock.nowNs(), 0);
    }
}

// --- Supply --------------------------------------------------------------------------------

TEST(CommandSupply, ChipPoweredFollowsTheQueryAfterSwitching) {
    struct Case {
        const char* name;
        Operation run;
        bool poweredBefore;
        Bytes reply;
        std::int64_t replyAfterMs;
        bool poweredAfter;
    };
    const Case cases[] = {
        {"on, reported on", kPowerOn, false, {1}, 0, true},
        {"on, reported off", kPowerOn, true, {0}, 0, false},
        {"off, reported off", kPowerOff, true, {0}, 0, false},
        {"on, reported on at 20 ms", kPowerOn, false, {1}, 20, true},
        {"on, reported on first seen past the limit", kPowerOn, true, {1}, 21, false},
        {"on, reported on at 25 ms", kPowerOn, true, {1}, 25, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.link.setChipPowered(c.poweredBefore);
        rig.driver.replyToNextWrite({});  // the switch frame has no reply
        rig.driver.replyToNextWrite(c.reply, c.replyAfterMs);
        EXPECT_EQ(c.run(rig.link), c.poweredAfter);
        EXPECT_EQ(rig.driver.count("FT_Purge"), 0);
    }
}

TEST(CommandSupply, StaleBytesAreDiscardedBeforeTheQuery) {
    struct Case {
        const char* name;
        Bytes reply;
        bool replied;
        bool result;
        std::vector<std::string> exchange;
    };
    const Case cases[] = {
        {"answered off", {0}, true, false, {"purge rx", "write 90 4 0", "read 1"}},
        {"answered on", {1}, true, true, {"purge rx", "write 90 4 0", "read 1"}},
        {"unanswered", {}, false, false, {"purge rx", "write 90 4 0", "read 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.driver.arriveAt(0, {1, 1});
        if (c.replied) rig.driver.replyToNextWrite(c.reply);
        EXPECT_EQ(rig.link.QueryPower(), c.result);
        EXPECT_EQ(exchange(rig.driver), c.exchange);
    }
}

// --- Stale bytes ---------------------------------------------------------------------------

// Bytes waiting before a command are a late reply to an earlier one: they are purged before
// the frame goes out, and the command then goes exactly as it would on a clean queue.
TEST(CommandStaleBytes, EveryAnsweredCommandPurgesThemFirst) {
    struct Case {
        const char* name;
        Operation run;
        Bytes reply;
    };
    const Case cases[] = {
        {"write", kWrite32, {1}},
        {"write with EEPROM pause", kWrite31, {1}},
        {"read", kRead, {0x12, 0x34}},
        {"read all", kReadAll, counting(112, 0x30)},
        {"outputs", kOutputs, counting(8, 0x40)},
        {"scan", kScan, {0x12, 0xFF}},
        {"query power", kQueryPower, {1}},
        {"parameters", kParameters, {240}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig clean;
        clean.driver.replyToNextWrite(c.reply);
        ASSERT_TRUE(c.run(clean.link));

        Rig stale;
        stale.driver.arriveAt(0, {0x33, 0x00});
        stale.driver.replyToNextWrite(c.reply);
        EXPECT_TRUE(c.run(stale.link));
        std::vector<std::string> expected = {"purge rx"};
        for (const auto& line : exchange(clean.driver)) expected.push_back(line);
        EXPECT_EQ(exchange(stale.driver), expected);
        EXPECT_EQ(stale.image, clean.image);
        EXPECT_EQ(stale.link.chipAddressList(), clean.link.chipAddressList());
        EXPECT_EQ(stale.clock.nowNs(), clean.clock.nowNs());
    }
}

TEST(CommandStaleBytes, LatePowerReplyIsNotTakenForTheNextWritesAcknowledgement) {
    Rig rig;
    rig.driver.replyToNextWrite({1}, 25);  // the supply answer comes after the query gave up
    EXPECT_FALSE(rig.link.QueryPower());
    rig.clock.setNs(50 * kMs);         // the next poll tick
    rig.driver.replyToNextWrite({0});  // the chip refuses the write
    EXPECT_FALSE(rig.link.WriteRegister(0, 49, 0x1234));
    rig.driver.replyToNextWrite({0x02, 0x05});
    const RegisterRead back = rig.link.ReadRegister(0, 49);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(back.word, 0x0205);
    EXPECT_EQ(rig.image[49], 0x0205);
    EXPECT_EQ(exchange(rig.driver),
              (std::vector<std::string>{"write 90 4 0", "read 0", "purge rx", "write 89 0 49 18 52",
                                        "read 1", "write 89 1 49", "read 2"}));
}

// While connecting, the parameter echo comes after its 20 ms: the supply query waits for it
// and discards it before its own frame, so the echo is never taken as the supply answer.
TEST(CommandStaleBytes, LateParameterEchoIsNotTakenForTheSupplyAnswer) {
    Rig rig;
    rig.driver.replyToNextWrite({240}, 25);
    EXPECT_FALSE(rig.link.SetAdapterParameters(15, 0));
    rig.driver.replyToNextWrite({0}, 10);  // the supply is off
    EXPECT_FALSE(rig.link.QueryPower());
    EXPECT_EQ(exchange(rig.driver),
              (std::vector<std::string>{"write 90 2 240", "purge rx", "purge rx", "write 90 4 0",
                                        "read 1"}));
    EXPECT_EQ(timeOf(rig.driver, "FT_Write"), 0);
    const std::int64_t queryNs = rig.driver.calls[3].atNs;
    EXPECT_GE(queryNs, 25 * kMs);
    EXPECT_LT(queryNs, 25 * kMs + 200'000) << "the query goes as soon as the echo has come";
}

// --- Late replies: a clean line before every frame ----------------------------------------

// A reply that comes after its exchange gave up is waited for and discarded before the next
// frame, so it is never the answer to a later question; the next frame goes as soon as it
// has come, or once the latency timer and a margin have passed without it.
TEST(CommandLateReplies, AreDiscardedBeforeTheNextFrame) {
    struct Case {
        const char* name;
        Operation run;
        Bytes reply;
        std::int64_t gaveUpMs;  // when the first exchange ends without its reply
    };
    const Case cases[] = {
        {"write", kWrite32, {1}, 2001},
        {"read", kRead, {0x12, 0x34}, 2001},
        {"read all", kReadAll, counting(112), 4001},
        {"outputs", kOutputs, counting(8), 21},
        {"query power", kQueryPower, {1}, 21},
        {"parameters", kParameters, {240}, 21},
    };
    const std::int64_t windowMs = AdapterLink::kStragglerWindowMs;
    for (const auto& c : cases) {
        for (const std::int64_t lateByMs : {std::int64_t{1}, windowMs - 1, windowMs + 5}) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(lateByMs) + " ms late");
            Rig rig;
            const std::int64_t arrivalNs = (c.gaveUpMs + lateByMs) * kMs;
            rig.driver.arriveAt(arrivalNs, c.reply);
            EXPECT_FALSE(c.run(rig.link));
            ASSERT_EQ(rig.clock.nowNs(), c.gaveUpMs * kMs);

            // The scan that follows at once sees only its own reply.
            rig.driver.calls.clear();
            rig.driver.replyToNextWrite({0x05, 0xFF});
            EXPECT_TRUE(rig.link.ScanBus());
            EXPECT_EQ(rig.link.chipAddressList(), std::vector<std::uint8_t>{0x05});
            const bool cameInTheWindow = lateByMs < windowMs;
            const std::int64_t frameNs = timeOf(rig.driver, "FT_Write");
            if (cameInTheWindow) {
                EXPECT_EQ(exchange(rig.driver),
                          (std::vector<std::string>{"purge rx", "write 88", "read 2"}));
                EXPECT_GE(frameNs, arrivalNs);
                EXPECT_LT(frameNs, arrivalNs + 200'000);
            } else {
                // Past the window the bytes are not waited for: the frame goes at its end.
                EXPECT_EQ(frameNs, (c.gaveUpMs + windowMs) * kMs);
            }
        }
    }
}

// The late `01` of a supply query, read as a scan address with the chip's `05`, made up a
// second chip.
TEST(CommandLateReplies, LateSupplyAnswerMakesNoPhantomChip) {
    Rig rig;
    rig.driver.replyToNextWrite({1}, 21);
    EXPECT_FALSE(rig.link.QueryPower());
    rig.driver.replyToNextWrite({0x05, 0xFF});
    EXPECT_TRUE(rig.link.ScanBus());
    EXPECT_EQ(rig.link.chipAddressList(), std::vector<std::uint8_t>{0x05});
}

// Nothing changes on a line where every reply comes in time: no wait and no purge more.
TEST(CommandLateReplies, RepliesInTimeLeaveNothingToWaitFor) {
    Rig rig;
    rig.driver.replyToNextWrite({1}, 15);
    EXPECT_TRUE(rig.link.QueryPower());
    rig.driver.replyToNextWrite({0x05, 0xFF}, 3);
    EXPECT_TRUE(rig.link.ScanBus());
    EXPECT_EQ(exchange(rig.driver),
              (std::vector<std::string>{"write 90 4 0", "read 1", "write 88", "read 0", "read 2"}));
    EXPECT_EQ(rig.driver.calls[2].atNs, 15 * kMs);
}

// Front ends that read on their own wait as long as a real adapter may take: a reply after
// its designed limit but within the reply time-out is taken, and counted late.
TEST(CommandLateReplies, ReplyTimeOutTakesLateRepliesAndCountsThem) {
    struct Case {
        const char* name;
        Operation run;
        Bytes reply;
        std::int64_t afterMs;
        bool result;
        std::uint64_t late;
        std::uint64_t timeouts;
    };
    const Case cases[] = {
        {"supply 21 ms late", kQueryPower, {1}, 21, true, 1, 0},
        {"outputs 24 ms late", kOutputs, counting(8), 24, true, 1, 0},
        {"parameters at 116 ms", kParameters, {240}, 116, true, 1, 0},
        {"outputs in time", kOutputs, counting(8), 20, true, 0, 0},
        {"outputs past the reply time-out", kOutputs, counting(8), 130, false, 1, 0},
        {"outputs never", kOutputs, {}, -1, false, 0, 1},
        {"read all in its own time", kReadAll, counting(112), 3000, true, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.driver.replyToNextWrite({0x05, 0xFF});
        ASSERT_TRUE(rig.link.ScanBus());
        rig.link.setReplyTimeoutMs(AdapterLink::kLoadedBusReplyTimeoutMs);
        if (c.afterMs >= 0) rig.driver.replyToNextWrite(c.reply, c.afterMs);
        EXPECT_EQ(c.run(rig.link), c.result);
        // The next exchange settles whether a reply that was given up on came after all.
        rig.driver.replyToNextWrite({1});
        EXPECT_TRUE(rig.link.QueryPower());
        EXPECT_EQ(rig.link.health().late, c.late);
        EXPECT_EQ(rig.link.health().timeouts, c.timeouts);
        EXPECT_EQ(rig.link.health().replies, 2u + (c.result && c.late == 0 ? 1u : 0u));
    }
}

TEST(CommandLateReplies, HealthCountsLateRepliesApartFromLostOnes) {
    Rig rig;
    rig.clock.setNs(1'000 * kMs);
    rig.link.resetHealth();
    rig.driver.replyToNextWrite({0x05, 0xFF});
    ASSERT_TRUE(rig.link.ScanBus());
    // The window keeps its 20 ms: a reply after them fails the exchange but came all the same.
    rig.driver.replyToNextWrite(counting(8), 24);
    EXPECT_FALSE(rig.link.ReadOutputRegisters(5));
    EXPECT_EQ(rig.link.health().timeouts, 1u) << "not yet known to have come";
    rig.driver.replyToNextWrite(counting(8), 30);
    EXPECT_FALSE(rig.link.ReadOutputRegisters(5));
    EXPECT_FALSE(rig.link.ReadOutputRegisters(5));  // never answered
    rig.clock.advanceMs(60'000);
    rig.driver.replyToNextWrite(counting(8), 2);
    EXPECT_TRUE(rig.link.ReadOutputRegisters(5));

    const LinkHealth& health = rig.link.health();
    EXPECT_EQ(health.late, 2u);
    EXPECT_EQ(health.timeouts, 1u);
    EXPECT_EQ(health.replies, 2u);
    EXPECT_NEAR(health.worstLateMs(), 30.0, 0.2);
    const std::int64_t nowNs = rig.clock.nowNs();
    const double minutes = static_cast<double>(nowNs - 1'000 * kMs) / (60'000 * kMs);
    EXPECT_NEAR(health.latePerMinute(nowNs), 2 / minutes, 1e-9);
    EXPECT_NEAR(health.timeoutsPerMinute(nowNs), 1 / minutes, 1e-9);

    rig.link.resetHealth();
    EXPECT_EQ(rig.link.health().late, 0u);
    EXPECT_EQ(rig.link.health().timeouts, 0u);
    EXPECT_EQ(rig.link.health().countingSinceNs, nowNs);
}

// Before the first scan the register commands may address no chip at all: they are left out
// of the counts; the adapter's own commands are not.
TEST(CommandLateReplies, HealthLeavesOutChipCommandsBeforeTheFirstScan) {
    Rig rig;
    EXPECT_FALSE(rig.link.ReadOutputRegisters(0));
    EXPECT_FALSE(rig.link.ReadAllRegisters(0));
    rig.driver.replyToNextWrite({1});
    EXPECT_TRUE(rig.link.QueryPower());
    EXPECT_EQ(rig.link.health().timeouts, 0u);
    EXPECT_EQ(rig.link.health().replies, 1u);

    rig.driver.replyToNextWrite({0x05, 0xFF});
    ASSERT_TRUE(rig.link.ScanBus());
    EXPECT_FALSE(rig.link.ReadOutputRegisters(5));
    EXPECT_EQ(rig.link.health().timeouts, 1u);
}

// --- Adapter parameters --------------------------------------------------------------------

TEST(CommandParameters, NibbleAbove15IsRefusedWithoutSending) {
    struct Case {
        unsigned high;
        unsigned low;
    };
    for (const Case c : {Case{16, 0}, Case{0, 16}, Case{255, 255}}) {
        SCOPED_TRACE(std::to_string(c.high) + ", " + std::to_string(c.low));
        Rig rig;
        EXPECT_FALSE(rig.link.SetAdapterParameters(c.high, c.low));
        EXPECT_TRUE(rig.driver.calls.empty());
        ASSERT_EQ(rig.sink.shown.size(), 1u);
        EXPECT_EQ(rig.sink.shown[0].first, MessageKind::Critical);
        EXPECT_EQ(rig.sink.shown[0].second, "Parameters are not OK");
    }
}

// --- Incomplete replies never pass for data ------------------------------------------------

// The read asks the driver only for bytes already queued, so it never waits inside the
// driver (no read time-out is set here).
TEST(CommandIncompleteReplies, RegisterReadWithoutExactlyItsWordIsNotAValue) {
    struct Case {
        const char* name;
        std::vector<Arrival> arrivals;
        RegisterRead expected;
        std::vector<std::string> exchange;
        std::int64_t lastedMs;
    };
    const std::string frame = "write 89 43 9";
    const Case cases[] = {
        {"full reply", {{0, {0x56, 0x78}}}, {0x5678, true}, {frame, "read 2"}, 0},
        {"bytes 1500 ms apart",
         {{0, {0x56}}, {1500, {0x78}}},
         {0x5678, true},
         {frame, "read 2"},
         1500},
        {"one byte", {{0, {0x56}}}, {0, false}, {frame, "read 1", "purge rx"}, 2001},
        {"no reply", {}, {0, false}, {frame, "read 0", "purge rx"}, 2001},
        {"reply after the limit",
         {{2500, {0x56, 0x78}}},
         {0, false},
         {frame, "read 0", "purge rx"},
         2001},
        {"three bytes", {{0, {0x56, 0x78, 0x9A}}}, {0, false}, {frame, "read 2", "purge rx"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        // An earlier read leaves its bytes in the receive buffer.
        rig.driver.replyToNextWrite({0xAB, 0xCD});
        ASSERT_EQ(rig.link.ReadRegister(21, 5).word, 0xABCD);
        rig.driver.calls.clear();

        scriptArrivals(rig.driver, c.arrivals);
        const RegisterRead read = rig.link.ReadRegister(21, 9);
        EXPECT_EQ(read.ok, c.expected.ok);
        EXPECT_EQ(read.word, c.expected.word);
        EXPECT_EQ(rig.image[9], c.expected.ok ? c.expected.word : kUntouched);
        EXPECT_EQ(exchange(rig.driver), c.exchange);
        // It ends at the first look at or after that time; looks are at most 0.2 ms apart.
        EXPECT_GE(rig.clock.nowNs(), c.lastedMs * kMs);
        EXPECT_LT(rig.clock.nowNs(), c.lastedMs * kMs + 200'000);
    }
}

TEST(CommandReplies, RegisterBeyondTheImageIsReadWithoutStoring) {
    Rig rig;
    rig.driver.replyToNextWrite({0x12, 0x34});
    const RegisterRead read = rig.link.ReadRegister(21, 200);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.word, 0x1234);
    for (std::size_t i = 0; i < kRegisterCount; ++i) EXPECT_EQ(rig.image[i], kUntouched);
}

TEST(CommandIncompleteReplies, ShortRegisterReplyDoesNotPoisonTheNextRead) {
    Rig rig;
    rig.driver.replyToNextWrite({0x12});
    EXPECT_FALSE(rig.link.ReadRegister(21, 9).ok);
    rig.driver.replyToNextWrite({0x56, 0x78});
    const RegisterRead next = rig.link.ReadRegister(21, 9);
    EXPECT_TRUE(next.ok);
    EXPECT_EQ(next.word, 0x5678);
}

TEST(CommandIncompleteReplies, FailedReadAllLeavesTheImage) {
    struct Case {
        const char* name;
        Bytes reply;
        std::int64_t atNs;
    };
    const Case cases[] = {
        {"no reply", {}, 0},
        {"111 bytes", counting(111, 1), 0},
        {"112 bytes first seen past the limit", counting(112, 1), 4001 * kMs},
        {"112 bytes too late", counting(112, 1), 4001 * kMs + 50'000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        // The receive buffer holds an earlier complete reply.
        rig.driver.replyToNextWrite(counting(112, 0x20));
        ASSERT_TRUE(rig.link.ReadAllRegisters(21));
        rig.image.fill(kUntouched);

        rig.driver.arriveAt(rig.clock.nowNs() + c.atNs, c.reply);
        EXPECT_FALSE(rig.link.ReadAllRegisters(21));
        for (std::size_t i = 0; i < kRegisterCount; ++i)
            EXPECT_EQ(rig.image[i], kUntouched) << "word " << i;
    }
}

TEST(CommandIncompleteReplies, PartialWriteLeavesNothingForTheNextFrame) {
    struct Case {
        const char* name;
        std::uint32_t acceptedBytes;
        FtStatus writeStatus;
        std::string firstWrite;
    };
    const Case cases[] = {
        {"four of five bytes", 4, FT_OK, "write 89 42 50 18 of 5"},
        {"one of five bytes", 1, FT_OK, "write 89 of 5"},
        {"write failed", UINT32_MAX, FT_IO_ERROR, "write 89 42 50 18 52"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.driver.limitWrites(c.acceptedBytes);
        rig.driver.failCall("FT_Write", c.writeStatus);
        for (int attempt = 0; attempt < 3; ++attempt)
            EXPECT_FALSE(rig.link.WriteRegister(21, 50, 0x1234));
        const std::vector<std::string> attempt = {c.firstWrite, "purge tx", "read 0", "purge rx",
                                                  "purge tx"};
        std::vector<std::string> expected;
        for (int i = 0; i < 3; ++i) expected.insert(expected.end(), attempt.begin(), attempt.end());
        EXPECT_EQ(exchange(rig.driver), expected);

        rig.driver.limitWrites(UINT32_MAX);
        rig.driver.failCall("FT_Write", FT_OK);
        rig.driver.calls.clear();
        rig.driver.replyToNextWrite({0x56, 0x78});
        EXPECT_EQ(rig.link.ReadRegister(21, 7).word, 0x5678);
        EXPECT_EQ(exchange(rig.driver), (std::vector<std::string>{"write 89 43 7", "read 2"}));
    }
}

// A reply the driver failed to deliver is judged on the bytes actually read, never on what
// an earlier reply left in the receive buffer.
TEST(CommandIncompleteReplies, FailedReadNeverReusesAnEarlierReply) {
    struct Case {
        const char* name;
        Operation run;
        Bytes reply;
    };
    const Case cases[] = {
        {"outputs", kOutputs, counting(8, 0x40)},
        {"parameters", kParameters, {240}},
        {"query power", kQueryPower, {1}},
        {"scan", kScan, {0x12, 0xFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.driver.replyToNextWrite(c.reply);
        ASSERT_TRUE(c.run(rig.link));
        rig.image.fill(kUntouched);

        rig.driver.failCall("FT_Read", FT_IO_ERROR);
        rig.driver.replyToNextWrite(c.reply);
        rig.link.clearChipAddressList();
        EXPECT_FALSE(c.run(rig.link));
        EXPECT_TRUE(rig.link.chipAddressList().empty());
        for (std::size_t reg = 32; reg < 36; ++reg) EXPECT_EQ(rig.image[reg], kUntouched);
        EXPECT_EQ(rig.sink.texts(), std::vector<std::string>{"FT_Read - General IO error..."});
    }
}

// --- No adapter ----------------------------------------------------------------------------

TEST(CommandWithoutAdapter, NothingIsSentAndEveryOperationFails) {
    struct Case {
        const char* name;
        Operation run;
    };
    const Case cases[] = {
        {"write", kWrite31},
        {"read", kRead},
        {"read all", kReadAll},
        {"outputs", kOutputs},
        {"scan", kScan},
        {"query power", kQueryPower},
        {"parameters", kParameters},
        {"parameters out of range", [](AdapterLink& l) { return l.SetAdapterParameters(16, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        qe::test::AdapterLinkAccess::setAdapterHandle(rig.link, 0);
        qe::test::AdapterLinkAccess::setChipAddressList(rig.link, {0x12});
        rig.driver.replyToNextWrite({1, 1});
        EXPECT_FALSE(c.run(rig.link));
        EXPECT_TRUE(rig.driver.calls.empty());
        EXPECT_TRUE(rig.sink.shown.empty());
        EXPECT_EQ(rig.image[7], kUntouched);
        EXPECT_EQ(rig.clock.nowNs(), 0);
    }
}

TEST(CommandWithoutAdapter, ReadGivesZeroScanEmptiesTheListPowerKeepsItsState) {
    Rig rig;
    qe::test::AdapterLinkAccess::setAdapterHandle(rig.link, 0);

    const RegisterRead read = rig.link.ReadRegister(21, 7);
    EXPECT_EQ(read.word, 0);
    EXPECT_FALSE(read.ok);

    qe::test::AdapterLinkAccess::setChipAddressList(rig.link, {0x12, 0x13});
    EXPECT_FALSE(rig.link.ScanBus());
    EXPECT_TRUE(rig.link.chipAddressList().empty());

    for (const bool powered : {false, true}) {
        rig.link.setChipPowered(powered);
        rig.link.PowerOn();
        EXPECT_EQ(rig.link.chipPowered(), powered);
        rig.link.PowerOff();
        EXPECT_EQ(rig.link.chipPowered(), powered);
    }
    EXPECT_TRUE(rig.driver.calls.empty());
}

}  // namespace
}  // namespace qe
