// The tool's own protocol code, AdapterLink, against the simulated adapter and chip with
// real timing on a manual clock.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "adapter_link.h"
#include "open_simulation.h"
#include "recording_sink.h"
#include "simulation.h"

namespace qe::sim::test {
namespace {

using Texts = std::vector<std::string>;

class LinkOnSimulation : public ::testing::Test {
protected:
    void SetUp() override {
        // Every short reply a whole latency period after its last byte, the worst case an
        // FT232R gives, so that the times below are exact (paced_link_test.cpp runs the
        // link at the pace of the latency timer itself).
        driver->setPace(SimulatedAdapter::Pace::WholeLatency);
        link.setLineSettings({250'000, 8, 2, 0});
        adapter.magnet().setAngle(1000 / 4096.0);
    }

    void connect() {
        link.EnumerateDevices();
        link.ConnectAdapter({});
        ASSERT_NE(link.adapterHandle(), 0u);
        link.PowerOn();
        ASSERT_TRUE(link.chipPowered());
        driver->transcript().clear();
        sink.clear();
    }

    std::int64_t elapsedMsSince(std::int64_t startNs) { return (clock.nowNs() - startNs) / kMs; }

    ManualClock clock{1'000 * kMs};
    std::unique_ptr<SimulatedDriver> driver = makeDefaultSimulation(
        clock, {.chips = 1, .revolutionsPerSecond = 0.0, .instantReplies = false});
    SimulatedAdapter& adapter = driver->adapter();
    qe::test::RecordingSink sink;
    RegisterImage image{};
    AdapterLink link{*driver, clock, sink, image};
};

TEST_F(LinkOnSimulation, ConnectsOpensConfiguresAndPowersTheChip) {
    link.EnumerateDevices();
    link.ConnectAdapter({});
    link.PowerOn();
    EXPECT_NE(link.adapterHandle(), 0u);
    EXPECT_TRUE(link.chipPowered());
    EXPECT_EQ(link.lastOpenedSerial(), "QE000001");
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(driver->transcript().texts(),
              (Texts{"enumerate", "open", "latency 16", "bitmode 0 0", "data 8 2 0", "baud 250000",
                     "timeouts 2000 2000", "params 0xF0", "read 1", "query power", "read 1",
                     "power on", "query power", "read 1"}));
    EXPECT_EQ(adapter.parameters(), 0xF0);
    EXPECT_TRUE(adapter.supplyOn());
}

TEST_F(LinkOnSimulation, EveryOperationWithinItsTimeLimit) {
    connect();
    struct Case {
        const char* name;
        std::function<bool(AdapterLink&)> operation;
        std::int64_t limitMs;
        Texts frames;
    };
    const Case cases[] = {
        {"WriteRegister",
         [](AdapterLink& l) { return l.WriteRegister(0, 49, 0x0205); },
         2000,
         {"W 0 49 0x0205"}},
        {"ReadRegister",
         [](AdapterLink& l) { return l.ReadRegister(0, 49).word == 0x0205; },
         2000,
         {"R 0 49"}},
        {"ReadOutputRegisters",
         [](AdapterLink& l) { return l.ReadOutputRegisters(0); },
         20,
         {"readOutputs 0"}},
        {"ReadAllRegisters",
         [](AdapterLink& l) { return l.ReadAllRegisters(0); },
         4000,
         {"readAll 0"}},
        {"ScanBus", [](AdapterLink& l) { return l.ScanBus(); }, 1000, {"scan"}},
        {"QueryPower", [](AdapterLink& l) { return l.QueryPower(); }, 20, {"query power"}},
        {"SetAdapterParameters",
         [](AdapterLink& l) { return l.SetAdapterParameters(3, 4); },
         20,
         {"params 0x34"}},
        {"PowerOff",
         [](AdapterLink& l) {
             l.PowerOff();
             return !l.chipPowered();
         },
         20,
         {"power off", "query power"}},
        {"PowerOn",
         [](AdapterLink& l) {
             l.PowerOn();
             return l.chipPowered();
         },
         20,
         {"power on", "query power"}},
    };
    for (const auto& c : cases) {
        driver->transcript().clear();
        const auto start = clock.nowNs();
        EXPECT_TRUE(c.operation(link)) << c.name;
        EXPECT_LE(elapsedMsSince(start), c.limitMs) << c.name;
        EXPECT_EQ(driver->transcript().frames(), c.frames) << c.name;
    }
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(adapter.parameters(), 0x34);
    EXPECT_EQ(link.chipAddressList(), std::vector<std::uint8_t>{0});
}

TEST_F(LinkOnSimulation, ReadsLandInTheImage) {
    connect();
    ASSERT_TRUE(link.ReadOutputRegisters(0));
    EXPECT_EQ((std::array<std::uint16_t, 4>{image[32], image[33], image[34], image[35]}),
              (std::array<std::uint16_t, 4>{0x03E8, 0x03E8, 0x0000, 0x8000}));
    image.fill(0xAAAA);
    ASSERT_TRUE(link.ReadAllRegisters(0));
    const auto chipWords = adapter.bus().chip(0).readAll(clock.nowNs());
    EXPECT_EQ(image, chipWords);
    EXPECT_EQ(image[51], 0x01C0);
    const auto read = link.ReadRegister(0, 3);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.word, 0x01C0);
}

TEST_F(LinkOnSimulation, EepromRoundTripThroughAPowerCycle) {
    connect();
    const std::uint16_t stored[] = {0x0300, 0x1234, 0x0011, 0x3880};
    for (std::uint8_t i = 0; i < 4; ++i) ASSERT_TRUE(link.WriteRegister(0, i, stored[i])) << int(i);
    ASSERT_TRUE(link.ReadAllRegisters(0));
    EXPECT_EQ(image[49], 0x0000) << "working words wait for the next power-up";
    link.PowerOff();
    link.PowerOn();
    ASSERT_TRUE(link.ReadAllRegisters(0));
    for (std::uint8_t i = 0; i < 4; ++i) {
        EXPECT_EQ(image[i], stored[i]) << int(i);
        EXPECT_EQ(image[48 + i], stored[i]) << 48 + i;
    }
}

TEST_F(LinkOnSimulation, AddressChangeTakesEffectAtOnce) {
    connect();
    EXPECT_TRUE(link.WriteRegister(0, 48, 0x0115));
    EXPECT_EQ(link.ReadRegister(0x15, 48).word, 0x0115);
    EXPECT_EQ(link.ReadRegister(0x00, 48).word, 0xFFFF) << "nobody answers at the old address";
    EXPECT_FALSE(link.WriteRegister(0, 50, 1));
    ASSERT_TRUE(link.ScanBus());
    EXPECT_EQ(link.chipAddressList(), std::vector<std::uint8_t>{0x15});
    EXPECT_EQ(driver->transcript().frames(),
              (Texts{"W 0 48 0x0115", "R 21 48", "R 0 48", "W 0 50 0x0001", "scan"}));
}

TEST_F(LinkOnSimulation, ScanFindsZeroOneOrTwoChips) {
    connect();
    struct Case {
        std::function<void(SimulatedAdapter&)> change;
        bool result;
        std::vector<std::uint8_t> addresses;
    };
    const Case cases[] = {
        {[](auto&) {}, true, {0}},
        {[](auto& a) { a.addChip(0x33); }, true, {0, 0x33}},
        {[](auto& a) { a.removeChip(0); }, true, {0x33}},
        {[](auto& a) { a.removeChip(0x33); }, false, {}},
    };
    for (const auto& c : cases) {
        c.change(adapter);
        const auto start = clock.nowNs();
        EXPECT_EQ(link.ScanBus(), c.result);
        EXPECT_EQ(link.chipAddressList(), c.addresses);
        EXPECT_LT(elapsedMsSince(start), 20) << "the end marker comes with the reply";
    }
}

TEST_F(LinkOnSimulation, UnpoweredChipIsSilent) {
    connect();
    link.PowerOff();
    EXPECT_FALSE(link.chipPowered());
    EXPECT_FALSE(link.ScanBus());
    EXPECT_TRUE(link.chipAddressList().empty());
    EXPECT_FALSE(link.WriteRegister(0, 49, 1));
    EXPECT_EQ(link.ReadRegister(0, 48).word, 0xFFFF);
}

// A fault, the operation it hits, what the operation then reports and when.
struct FaultCase {
    const char* name;
    std::function<void(SimulatedAdapter&)> arm;
    std::function<bool(AdapterLink&)> operation;
    bool result;
    std::int64_t minMs;
    std::int64_t maxMs;
    Texts purges;
};

class LinkFaults : public LinkOnSimulation, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(LinkFaults, GiveTheProtocolsFailureInTime) {
    const auto& c = GetParam();
    connect();
    c.arm(adapter);
    const auto start = clock.nowNs();
    EXPECT_EQ(c.operation(link), c.result);
    const auto elapsed = elapsedMsSince(start);
    EXPECT_GE(elapsed, c.minMs);
    EXPECT_LE(elapsed, c.maxMs);
    Texts purges;
    for (const auto& text : driver->transcript().calls())
        if (text.starts_with("purge")) purges.push_back(text);
    EXPECT_EQ(purges, c.purges);
}

const auto kLose = [](SimulatedAdapter& a) { a.loseNextReply(); };
const auto kShort = [](SimulatedAdapter& a) { a.shortenNextReply(1); };
const auto kSurplus = [](SimulatedAdapter& a) { a.addSurplusBytes(1); };
const auto kLate = [](SimulatedAdapter& a) {
    a.delayNextReply(9);
};  // a 16 ms reply then takes 25 ms

const auto kWrite = [](AdapterLink& l) { return l.WriteRegister(0, 49, 0x0205); };
const auto kWriteEeprom = [](AdapterLink& l) { return l.WriteRegister(0, 1, 0x0205); };
const auto kOutputs = [](AdapterLink& l) { return l.ReadOutputRegisters(0); };
const auto kAll = [](AdapterLink& l) { return l.ReadAllRegisters(0); };
const auto kScan = [](AdapterLink& l) { return l.ScanBus(); };
const auto kQuery = [](AdapterLink& l) { return l.QueryPower(); };
const auto kParameters = [](AdapterLink& l) { return l.SetAdapterParameters(15, 0); };
const auto kRead = [](AdapterLink& l) { return l.ReadRegister(0, 48).ok; };

INSTANTIATE_TEST_SUITE_P(
    Sim, LinkFaults,
    ::testing::Values(
        FaultCase{"WriteAckLost", kLose, kWrite, false, 2000, 2001, {"purge rx", "purge tx"}},
        FaultCase{
            "EepromWriteAckLost", kLose, kWriteEeprom, false, 2000, 2001, {"purge rx", "purge tx"}},
        FaultCase{"WriteRefused", [](auto& a) { a.refuseWritesTo(49); }, kWrite, false, 16, 17, {}},
        // a refused write takes no EEPROM time; the 20 ms pause before the wait is the tool's
        FaultCase{"EveryWriteRefused",
                  [](auto& a) { a.refuseEveryNthWrite(1); },
                  kWriteEeprom,
                  false,
                  20,
                  21,
                  {}},
        FaultCase{"WriteAckWithSurplus", kSurplus, kWrite, false, 16, 17, {"purge rx", "purge tx"}},
        FaultCase{"OutputsLost", kLose, kOutputs, false, 20, 21, {"purge rx", "purge tx"}},
        FaultCase{"OutputsLate", kLate, kOutputs, false, 20, 21, {"purge rx", "purge tx"}},
        FaultCase{"OutputsShort", kShort, kOutputs, false, 20, 21, {"purge rx", "purge tx"}},
        FaultCase{
            "OutputsWithSurplus", kSurplus, kOutputs, false, 16, 17, {"purge rx", "purge tx"}},
        FaultCase{"ReadAllLost", kLose, kAll, false, 4000, 4001, {"purge rx"}},
        FaultCase{"ReadAllShort", kShort, kAll, false, 4000, 4001, {"purge rx"}},
        FaultCase{"ReadAllWithSurplusStillGood", kSurplus, kAll, true, 21, 22, {"purge rx"}},
        FaultCase{"ScanLost", kLose, kScan, false, 1000, 1001, {}},
        FaultCase{"ScanWithoutEndMarker", kShort, kScan, false, 1000, 1001, {}},
        FaultCase{"QueryPowerLost", kLose, kQuery, false, 20, 21, {}},
        FaultCase{"PowerReplyAfter25ms", kLate, kQuery, false, 20, 21, {}},
        FaultCase{"ParametersLost", kLose, kParameters, false, 20, 21, {"purge rx"}},
        FaultCase{"ParametersWithSurplus", kSurplus, kParameters, false, 16, 17, {"purge rx"}},
        FaultCase{"ParametersEchoWrong",
                  [](auto& a) {
                      a.shortenNextReply(1);
                      a.addSurplusBytes(1, 0x0F);
                  },
                  kParameters,
                  false,
                  16,
                  17,
                  {"purge rx"}},
        FaultCase{"RegisterReadLost", kLose, kRead, false, 2000, 2001, {"purge rx"}},
        FaultCase{"RegisterReadShort", kShort, kRead, false, 2000, 2001, {"purge rx"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkOnSimulation, FailedOutputsReadLeavesTheImage) {
    connect();
    image.fill(0x5A5A);
    adapter.shortenNextReply(2);
    EXPECT_FALSE(link.ReadOutputRegisters(0));
    EXPECT_EQ(image[32], 0x5A5A);
    EXPECT_EQ(image[35], 0x5A5A);
    EXPECT_TRUE(link.ReadOutputRegisters(0)) << "the next exchange is clean";
    EXPECT_EQ(image[33], 0x03E8);
}

TEST_F(LinkOnSimulation, StaleLateReplyIsDiscardedBeforeTheQueryPower) {
    connect();
    adapter.delayNextReply(30);
    EXPECT_FALSE(link.ReadOutputRegisters(0));
    clock.advanceMs(50);  // the late reply is in the queue now
    EXPECT_TRUE(link.QueryPower());
    EXPECT_TRUE(link.ReadOutputRegisters(0));
}

TEST_F(LinkOnSimulation, StrayByteBeforeAFrameIsDropped) {
    connect();
    const std::uint8_t noise[] = {0x41};
    std::uint32_t written = 0;
    ASSERT_EQ(driver->write(link.adapterHandle(), noise, 1, written), FT_OK);
    EXPECT_TRUE(link.ReadOutputRegisters(0));
    EXPECT_EQ(driver->transcript().texts({Transcript::Kind::Frame, Transcript::Kind::Note}),
              (Texts{"dropped 0x41", "readOutputs 0"}));
}

TEST_F(LinkOnSimulation, UnplugLosesTheAdapterAndReplugFindsItAgain) {
    connect();
    adapter.unplug();
    const auto start = clock.nowNs();
    EXPECT_FALSE(link.CheckConnection());
    EXPECT_EQ(link.adapterHandle(), 0u);
    EXPECT_FALSE(link.ReadOutputRegisters(0));
    EXPECT_FALSE(link.ScanBus());
    EXPECT_EQ(clock.nowNs(), start) << "every command fails at once";
    link.EnumerateDevices();
    EXPECT_EQ(link.deviceCount(), 0u);
    link.ConnectAdapter({});
    EXPECT_EQ(link.adapterHandle(), 0u);

    adapter.replug();
    link.EnumerateDevices();
    link.ConnectAdapter({});
    EXPECT_NE(link.adapterHandle(), 0u);
    EXPECT_TRUE(link.CheckConnection());
    EXPECT_FALSE(link.chipPowered()) << "the supply starts off after re-plugging";
    link.PowerOn();
    EXPECT_TRUE(link.ScanBus());
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(LinkOnSimulation, FailingDriverCallsWhileConnecting) {
    struct Case {
        const char* name;
        std::function<void(SimulatedAdapter&)> arm;
        Texts messages;
        bool opened;
    };
    const Case cases[] = {
        {"Open",
         [](auto& a) { a.failOpen(FT_DEVICE_NOT_OPENED); },
         {"Open_USB_Device_By_Serial_Number - Device not opened...", "Port can not be opened"},
         false},
        {"Latency",
         [](auto& a) { a.failCall("FT_SetLatencyTimer", FT_IO_ERROR); },
         {"FT_SetLatencyTimer  - General IO error..."},
         true},
        {"BitMode",
         [](auto& a) { a.failCall("FT_SetBitMode", FT_IO_ERROR); },
         {"FT_SetBitMode  - General IO error...", "Port can not be opened"},
         false},
        {"BaudRate",
         [](auto& a) { a.failCall("FT_SetBaudRate", FT_INVALID_BAUD_RATE); },
         {"FT_SetBaudRate - Invalid baud rate..."},
         false},
    };
    for (const auto& c : cases) {
        link.CloseAdapter();
        // Plugged in afresh: a device's failure is told once while it stays listed.
        adapter.unplug();
        link.EnumerateDevices();
        adapter.replug();
        adapter.clearFaults();
        sink.clear();
        c.arm(adapter);
        link.EnumerateDevices();
        link.ConnectAdapter({});
        EXPECT_EQ(sink.texts(), c.messages) << c.name;
        EXPECT_EQ(link.adapterHandle() != 0, c.opened) << c.name;
    }
}

TEST_F(LinkOnSimulation, OpensAnAdapterWhoseSerialFillsItsArray) {
    const std::string serial = "QE72040000000016";
    adapter.unplug();
    auto& fullLength = driver->addAdapter(serial, "QE7204 interface" + std::string(48, '#'));
    for (int run = 0; run < 2; ++run) {  // the second run finds it by the remembered serial
        link.CloseAdapter();
        link.EnumerateDevices();
        link.ConnectAdapter(std::string(link.lastOpenedSerial()));
        EXPECT_NE(link.adapterHandle(), 0u) << run;
        EXPECT_EQ(link.adapterHandle(), fullLength.handle()) << run;
        EXPECT_EQ(link.lastOpenedSerial(), serial) << run;
    }
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(LinkOnSimulation, CutWriteFailsItsCommandAndTheNextOneIsClean) {
    connect();
    struct Case {
        const char* name;
        std::function<void(SimulatedAdapter&)> arm;
        std::function<bool(AdapterLink&)> operation;
        int failingRuns;
    };
    const Case cases[] = {
        {"RegisterWrite", [](auto& a) { a.acceptPartOfNextWrite(3); }, kWrite, 1},
        {"RegisterRead", [](auto& a) { a.acceptPartOfNextWrite(2); }, kRead, 1},
        {"OutputsRead", [](auto& a) { a.acceptPartOfNextWrite(1); }, kOutputs, 1},
        {"ScanNotTaken", [](auto& a) { a.acceptPartOfNextWrite(0); }, kScan, 1},
        {"EveryReadAll", [](auto& a) { a.acceptPartOfEveryWrite(1); }, kAll, 2},
    };
    for (const auto& c : cases) {
        c.arm(adapter);
        for (int run = 0; run < c.failingRuns; ++run)
            EXPECT_FALSE(c.operation(link)) << c.name << " run " << run;
        adapter.clearFaults();
        driver->transcript().clear();
        image[48] = 0;
        const auto read = link.ReadRegister(0, 48);
        EXPECT_TRUE(read.ok) << c.name;
        EXPECT_EQ(read.word, 0x0100) << c.name;
        EXPECT_EQ(image[48], 0x0100) << c.name;
        EXPECT_EQ(driver->transcript().frames(), Texts{"R 0 48"}) << c.name;
    }
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(LinkOnSimulation, SettingChangeExchangeOrder) {
    connect();
    // Read-modify-write of the tacho range, as a settings handler does it.
    const auto word = link.ReadRegister(0, 51);
    ASSERT_TRUE(word.ok);
    ASSERT_TRUE(
        link.WriteRegister(0, 51, static_cast<std::uint16_t>((word.word & ~0x01C0) | (3 << 6))));
    EXPECT_EQ(link.ReadRegister(0, 51).word, 0x00C0);
    EXPECT_EQ(driver->transcript().texts(),
              (Texts{"R 0 51", "read 2", "W 0 51 0x00C0", "read 1", "R 0 51", "read 2"}));
}

TEST_F(LinkOnSimulation, HealthCountsRepliesTimeOutsAndFailedReadsSinceConnect) {
    clock.advanceMs(5'000);
    const std::int64_t beforeNs = clock.nowNs();
    connect();
    // Register exchanges count once a scan has shown which chips answer.
    ASSERT_TRUE(link.ScanBus());
    const LinkHealth atConnect = link.health();
    EXPECT_GE(atConnect.connectedAtNs, beforeNs) << "restarted when the adapter was opened";
    EXPECT_LE(atConnect.connectedAtNs, clock.nowNs());
    EXPECT_GT(atConnect.replies, 0u) << "the connection's own exchanges count";
    EXPECT_EQ(atConnect.timeouts, 0u);
    EXPECT_EQ(atConnect.failedReads, 0u);

    for (int i = 0; i < 3; ++i) ASSERT_TRUE(link.ReadOutputRegisters(0));
    EXPECT_EQ(link.health().replies, atConnect.replies + 3);
    EXPECT_GT(link.health().meanReplyMs(), 1.0) << "the USB latency is in every reply";
    EXPECT_GE(link.health().worstReplyMs(), link.health().meanReplyMs());

    adapter.loseNextReply();
    EXPECT_FALSE(link.ReadOutputRegisters(0));
    adapter.delayNextReply(50);
    EXPECT_FALSE(link.ReadOutputRegisters(0));
    EXPECT_EQ(link.health().timeouts, 2u);
    EXPECT_EQ(link.health().replies, atConnect.replies + 3);

    adapter.unplug();
    EXPECT_FALSE(link.ReadOutputRegisters(0));
    EXPECT_EQ(link.health().failedReads, 1u);

    // Connected again: counted afresh.
    adapter.replug();
    link.CheckConnection();
    link.EnumerateDevices();
    link.ConnectAdapter({});
    ASSERT_TRUE(link.adapterOpen());
    EXPECT_EQ(link.health().timeouts, 0u);
    EXPECT_EQ(link.health().failedReads, 0u);
    EXPECT_GT(link.health().connectedAtNs, atConnect.connectedAtNs);
}

}  // namespace
}  // namespace qe::sim::test
