// SimulatedDriver as the D2XX driver: enumeration, opening, plugging and failing calls.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "clock.h"
#include "simulated_driver.h"

namespace qe::sim::test {
namespace {

// Every call the tool makes on an open handle, by its D2XX name.
struct HandleCall {
    const char* name;
    std::function<FtStatus(FtdiDriver&, FtHandle)> call;
};

const std::vector<HandleCall>& handleCalls() {
    static const std::vector<HandleCall> calls = {
        {"FT_SetLatencyTimer", [](FtdiDriver& d, FtHandle h) { return d.setLatencyTimer(h, 16); }},
        {"FT_SetBitMode", [](FtdiDriver& d, FtHandle h) { return d.setBitMode(h, 0, 0); }},
        {"FT_SetDataCharacteristics",
         [](FtdiDriver& d, FtHandle h) { return d.setDataCharacteristics(h, 8, 2, 0); }},
        {"FT_SetBaudRate", [](FtdiDriver& d, FtHandle h) { return d.setBaudRate(h, 250'000); }},
        {"FT_SetTimeouts", [](FtdiDriver& d, FtHandle h) { return d.setTimeouts(h, 2000, 2000); }},
        {"FT_Write",
         [](FtdiDriver& d, FtHandle h) {
             const std::uint8_t frame[] = {'Z', 4, 0};
             std::uint32_t written = 0;
             return d.write(h, frame, 3, written);
         }},
        {"FT_Read",
         [](FtdiDriver& d, FtHandle h) {
             std::uint8_t byte = 0;
             std::uint32_t got = 0;
             return d.read(h, &byte, 0, got);
         }},
        {"FT_GetQueueStatus",
         [](FtdiDriver& d, FtHandle h) {
             std::uint32_t waiting = 0;
             return d.getQueueStatus(h, waiting);
         }},
        {"FT_Purge", [](FtdiDriver& d, FtHandle h) { return d.purge(h, kPurgeRx | kPurgeTx); }},
        {"FT_Close",
         [](FtdiDriver& d, FtHandle h) { return d.close(h); }},  // last: it ends the handle
    };
    return calls;
}

class Driver : public ::testing::Test {
protected:
    std::vector<DeviceInfoNode> enumerate() {
        std::uint32_t count = 0;
        EXPECT_EQ(driver.createDeviceInfoList(count), FT_OK);
        std::vector<DeviceInfoNode> nodes(count);
        EXPECT_EQ(driver.getDeviceInfoList(nodes.data(), count), FT_OK);
        nodes.resize(count);
        return nodes;
    }

    FtHandle open(const char* serial) {
        FtHandle handle = 0;
        EXPECT_EQ(driver.openEx(serial, kOpenBySerialNumber, handle), FT_OK);
        return handle;
    }

    ManualClock clock;
    SimulatedDriver driver{clock};
};

TEST_F(Driver, ListsEveryPluggedDeviceWithItsTexts) {
    driver.addAdapter();
    driver.addAdapter("FT9XQ2AB", "USB Serial Converter");
    driver.addAdapter();
    const auto handle = open("QE000003");

    const auto nodes = enumerate();
    ASSERT_EQ(nodes.size(), 3u);
    const char* serials[] = {"QE000001", "FT9XQ2AB", "QE000003"};
    const char* descriptions[] = {"QE7204 interface", "USB Serial Converter", "QE7204 interface"};
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(nodes[i].serialNumber(), serials[i]);
        EXPECT_EQ(nodes[i].description(), descriptions[i]);
        EXPECT_EQ(nodes[i].DeviceType, SimulatedDriver::kDeviceType);
        EXPECT_EQ(nodes[i].ID, 0x04036001u);
        EXPECT_EQ(nodes[i].LocID, 0x1001u + i);
        EXPECT_EQ(nodes[i].Flags, i == 2 ? 1u : 0u);
        EXPECT_EQ(nodes[i].DeviceHandle, i == 2 ? handle : 0u);
    }
}

TEST_F(Driver, ListsTextsUpToTheFullArrays) {
    const std::string description64 = "QE7204 interface" + std::string(48, '#');
    struct Case {
        std::string serial;
        std::string description;
        std::string listedSerial;
        std::string listedDescription;
    };
    const Case cases[] = {
        {"QE7204000000015", "QE7204 interface", "QE7204000000015", "QE7204 interface"},
        {"QE72040000000016", description64, "QE72040000000016", description64},
        {"QE720400000000017", description64 + "!", "QE72040000000001", description64},
    };
    for (const auto& c : cases) driver.addAdapter(c.serial, c.description);
    const auto nodes = enumerate();
    ASSERT_EQ(nodes.size(), std::size(cases));
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(nodes[i].serialNumber(), cases[i].listedSerial) << i;
        EXPECT_EQ(nodes[i].description(), cases[i].listedDescription) << i;
    }
    EXPECT_NE(open("QE72040000000016"), 0u) << "a listed full-length serial opens";
}

TEST_F(Driver, FillsNoMoreNodesThanAskedFor) {
    driver.addAdapter();
    driver.addAdapter();
    DeviceInfoNode nodes[2];
    std::uint32_t count = 1;
    EXPECT_EQ(driver.getDeviceInfoList(nodes, count), FT_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(nodes[1].serialNumber(), "");
}

TEST_F(Driver, OpensBySerialNumberOrDescription) {
    driver.addAdapter();
    driver.addAdapter("FT9XQ2AB", "USB Serial Converter");
    struct Case {
        const char* arg;
        std::uint32_t flags;
        FtStatus status;
        const char* opened;
    };
    const Case cases[] = {
        {"FT9XQ2AB", kOpenBySerialNumber, FT_OK, "FT9XQ2AB"},
        {"QE7204 interface", kOpenByDescription, FT_OK, "QE000001"},
        {"QE7204 interface", kOpenByDescription, FT_DEVICE_NOT_OPENED, nullptr},  // already open
        {"qe000001", kOpenBySerialNumber, FT_DEVICE_NOT_FOUND, nullptr},
        {"QE00000", kOpenBySerialNumber, FT_DEVICE_NOT_FOUND, nullptr},
        {"QE000001", kOpenByDescription, FT_DEVICE_NOT_FOUND, nullptr},
        {"QE000001", 4, FT_INVALID_PARAMETER, nullptr},
        {nullptr, kOpenBySerialNumber, FT_INVALID_PARAMETER, nullptr},
    };
    for (const auto& c : cases) {
        FtHandle handle = 0;
        EXPECT_EQ(driver.openEx(c.arg, c.flags, handle), c.status) << (c.arg ? c.arg : "null");
        if (c.opened) {
            ASSERT_NE(handle, 0u);
            EXPECT_EQ(driver.findAdapter(c.opened)->handle(), handle);
        }
    }
}

TEST_F(Driver, ClosedDeviceOpensAgainWithAFreshHandle) {
    driver.addAdapter();
    const auto first = open("QE000001");
    EXPECT_EQ(driver.close(first), FT_OK);
    const auto second = open("QE000001");
    EXPECT_NE(second, first);
    EXPECT_EQ(driver.setLatencyTimer(first, 16), FT_INVALID_HANDLE);
    EXPECT_EQ(driver.setLatencyTimer(second, 16), FT_OK);
    EXPECT_EQ(driver.setLatencyTimer(0xDEAD, 16), FT_INVALID_HANDLE) << "never given out";
}

TEST_F(Driver, TimeoutsAndLatencyBelongToTheHandle) {
    auto& adapter = driver.addAdapter();
    const auto first = open("QE000001");
    ASSERT_EQ(driver.setTimeouts(first, 2000, 1500), FT_OK);
    ASSERT_EQ(driver.setLatencyTimer(first, 2), FT_OK);
    EXPECT_EQ(adapter.readTimeoutMs(), 2000u);
    EXPECT_EQ(adapter.writeTimeoutMs(), 1500u);
    ASSERT_EQ(driver.close(first), FT_OK);

    const auto second = open("QE000001");
    EXPECT_EQ(adapter.readTimeoutMs(), 0u);
    EXPECT_EQ(adapter.writeTimeoutMs(), 0u);
    EXPECT_EQ(adapter.latencyTimerMs(), 16);
    std::uint8_t bytes[2] = {};
    std::uint32_t got = 0;
    const auto start = clock.nowNs();
    EXPECT_EQ(driver.read(second, bytes, 2, got), FT_OK);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(clock.nowNs(), start) << "no read time-out left over from the closed handle";
}

TEST_F(Driver, RejectsSettingsTheUsbChipCannotTake) {
    driver.addAdapter();
    const auto handle = open("QE000001");
    EXPECT_EQ(driver.setLatencyTimer(handle, 1), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.setBaudRate(handle, 0), FT_INVALID_BAUD_RATE);
    EXPECT_EQ(driver.setBaudRate(handle, 4'000'000), FT_INVALID_BAUD_RATE);
    EXPECT_EQ(driver.setDataCharacteristics(handle, 9, 2, 0), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.setDataCharacteristics(handle, 8, 1, 0), FT_INVALID_PARAMETER);
    const auto& adapter = driver.adapter();
    EXPECT_EQ(adapter.latencyTimerMs(), 16);
    EXPECT_EQ(adapter.baudRate(), 250'000u);
    EXPECT_EQ(adapter.timing().byteNs, 44'000);
}

TEST_F(Driver, FailOpenMakesTheAdapterUnopenable) {
    auto& adapter = driver.addAdapter();
    adapter.failOpen(FT_DEVICE_NOT_OPENED);
    FtHandle handle = 0;
    EXPECT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, handle), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(enumerate().at(0).DeviceHandle, 0u);
    adapter.failOpen(FT_OK);
    EXPECT_NE(open("QE000001"), 0u);
}

class FailingCall : public Driver, public ::testing::WithParamInterface<HandleCall> {};

TEST_P(FailingCall, FailsAloneUntilCleared) {
    auto& adapter = driver.addAdapter();
    const auto handle = open("QE000001");
    adapter.failCall(GetParam().name, FT_IO_ERROR);
    for (const auto& call : handleCalls()) {
        if (std::string(call.name) == "FT_Close") continue;
        EXPECT_EQ(call.call(driver, handle),
                  std::string(call.name) == GetParam().name ? FT_IO_ERROR : FT_OK)
            << call.name;
    }
    EXPECT_EQ(adapter.latencyTimerMs(), 16) << "a failed call changes nothing";
    adapter.failCall(GetParam().name, FT_OK);
    EXPECT_EQ(GetParam().call(driver, handle), FT_OK);
}

INSTANTIATE_TEST_SUITE_P(Sim, FailingCall, ::testing::ValuesIn(handleCalls()),
                         [](const auto& info) { return std::string(info.param.name).substr(3); });

TEST_F(Driver, UnpluggedAdapterFailsEveryCallAndLeavesTheList) {
    auto& adapter = driver.addAdapter();
    adapter.addChip(0);
    const auto handle = open("QE000001");
    std::uint32_t written = 0, got = 0;
    const std::uint8_t powerOn[] = {'Z', 3, 255};
    ASSERT_EQ(driver.write(handle, powerOn, 3, written), FT_OK);
    ASSERT_EQ(driver.read(handle, nullptr, 0, got), FT_OK) << "the connection check";

    adapter.unplug();
    for (const auto& call : handleCalls())
        EXPECT_EQ(call.call(driver, handle), FT_IO_ERROR) << call.name;
    EXPECT_TRUE(enumerate().empty());
    FtHandle other = 0;
    EXPECT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, other), FT_DEVICE_NOT_FOUND);
    EXPECT_FALSE(adapter.supplyOn()) << "the adapter lost its power";

    adapter.replug();
    const auto nodes = enumerate();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].Flags, 0u);
    EXPECT_EQ(nodes[0].DeviceHandle, 0u);
    for (const auto& call : handleCalls())
        EXPECT_EQ(call.call(driver, handle), FT_INVALID_HANDLE) << call.name;
    const auto fresh = open("QE000001");
    EXPECT_NE(fresh, handle);
    EXPECT_EQ(driver.read(fresh, nullptr, 0, got), FT_OK);
    EXPECT_FALSE(adapter.supplyOn()) << "a fresh adapter starts with the supply off";
}

}  // namespace
}  // namespace qe::sim::test
