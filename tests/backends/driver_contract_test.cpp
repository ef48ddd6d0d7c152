// What every FtdiDriver promises the adapter link, run over each backend (the rigs are
// instantiated in contract_rigs.cpp, and over the real libftdi1 in tests/usb_double).

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "adapter_commands.h"
#include "adapter_identity.h"
#include "adapter_link.h"
#include "driver_contract.h"

namespace qe::test {
namespace {

// The contract's frames, in the order it sends them: the parameters 0x5A, then 0x3C.
constexpr std::uint8_t kFirstValue = 0x5A;
constexpr std::uint8_t kSecondValue = 0x3C;
const std::vector<std::uint8_t> kParametersFrame = {kCmdAdapter, kSubParameters, kFirstValue};
constexpr std::int64_t kReplyWaitNs = 1'000'000'000;
// As the link sets them when it opens an adapter.
constexpr std::uint8_t kBitModeMask = 0;
constexpr std::uint8_t kBitModeReset = 0;
constexpr std::uint32_t kReadTimeoutMs = 2000;
constexpr std::uint32_t kWriteTimeoutMs = 2000;

std::vector<DeviceInfoNode> enumerate(FtdiDriver& driver) {
    std::uint32_t count = 0;
    EXPECT_EQ(driver.createDeviceInfoList(count), FT_OK);
    std::vector<DeviceInfoNode> nodes(count);
    if (count > 0) {
        EXPECT_EQ(driver.getDeviceInfoList(nodes.data(), count), FT_OK);
    }
    nodes.resize(count);
    return nodes;
}

const DeviceInfoNode* findSerial(const std::vector<DeviceInfoNode>& nodes,
                                 const std::string& serial) {
    const auto it = std::find_if(nodes.begin(), nodes.end(), [&](const DeviceInfoNode& node) {
        return node.serialNumber() == serial;
    });
    return it == nodes.end() ? nullptr : &*it;
}

}  // namespace

FtHandle DriverContract::openAndSetUp() {
    FtdiDriver& driver = rig->driver();
    enumerate(driver);
    FtHandle handle = 0;
    EXPECT_EQ(driver.openEx(rig->serial.c_str(), kOpenBySerialNumber, handle), FT_OK);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(driver.setLatencyTimer(handle, AdapterLink::kLatencyTimerMs), FT_OK);
    EXPECT_EQ(driver.setBitMode(handle, kBitModeMask, kBitModeReset), FT_OK);
    EXPECT_EQ(
        driver.setDataCharacteristics(handle, kAdapterLineSettings.wordLength,
                                      kAdapterLineSettings.stopBits, kAdapterLineSettings.parity),
        FT_OK);
    EXPECT_EQ(driver.setBaudRate(handle, kAdapterLineSettings.baudRate), FT_OK);
    EXPECT_EQ(driver.setTimeouts(handle, kReadTimeoutMs, kWriteTimeoutMs), FT_OK);
    return handle;
}

void DriverContract::sendFrameAndAwaitReply(FtHandle handle, std::uint8_t value) {
    FtdiDriver& driver = rig->driver();
    const std::uint8_t frame[] = {kCmdAdapter, kSubParameters, value};
    std::uint32_t written = 0;
    EXPECT_EQ(driver.write(handle, frame, sizeof frame, written), FT_OK);
    EXPECT_EQ(written, sizeof frame);
    const auto expected = static_cast<std::uint32_t>(rig->parametersReply(value).size());
    std::uint32_t waiting = 0;
    EXPECT_EQ(driver.waitForReceived(handle, expected, rig->clock().nowNs() + kReplyWaitNs,
                                     rig->clock(), waiting),
              FT_OK);
    EXPECT_GE(waiting, expected);
}

TEST_P(DriverContract, ListsTheAdapterWithItsBackend) {
    FtdiDriver& driver = rig->driver();
    ASSERT_TRUE(driver.hasCreateDeviceInfoList());
    const auto nodes = enumerate(driver);
    EXPECT_EQ(nodes.size(), rig->deviceCount);
    const DeviceInfoNode* node = findSerial(nodes, rig->serial);
    ASSERT_NE(node, nullptr) << "no adapter " << rig->serial;
    EXPECT_EQ(node->description(), rig->description);
    EXPECT_EQ(node->Flags & 1u, 0u) << "listed open while nobody has it";
    EXPECT_EQ(node->DeviceHandle, 0u);
    EXPECT_EQ(driver.backendOf(*node), rig->backend);
}

// What list shows as "open": the adapter this driver holds, with the handle it gave.
TEST_P(DriverContract, ListsTheAdapterItHoldsAsOpened) {
    if (!rig->whyNoOpenedMark.empty()) GTEST_SKIP() << rig->whyNoOpenedMark;
    FtdiDriver& driver = rig->driver();
    const FtHandle handle = openAndSetUp();
    const auto held = enumerate(driver);
    const DeviceInfoNode* node = findSerial(held, rig->serial);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Flags & 1u, 1u);
    EXPECT_EQ(node->DeviceHandle, handle);
    EXPECT_EQ(driver.close(handle), FT_OK);
    const auto free = enumerate(driver);
    node = findSerial(free, rig->serial);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Flags & 1u, 0u);
    EXPECT_EQ(node->DeviceHandle, 0u);
}

TEST_P(DriverContract, OpensByEitherTextAndRefusesAnUnknownOne) {
    struct Case {
        std::string text;
        std::uint32_t flags;
        bool opens;
    };
    const Case cases[] = {
        {rig->serial, kOpenBySerialNumber, true},
        {rig->description, kOpenByDescription, true},
        {"NOSUCH01", kOpenBySerialNumber, false},
        {"No such interface", kOpenByDescription, false},
        {rig->description, kOpenBySerialNumber, false},
    };
    FtdiDriver& driver = rig->driver();
    enumerate(driver);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + (c.flags == kOpenBySerialNumber ? " by serial" : " by description"));
        FtHandle handle = 0;
        const FtStatus status = driver.openEx(c.text.c_str(), c.flags, handle);
        if (c.opens) {
            EXPECT_EQ(status, FT_OK);
            EXPECT_NE(handle, 0u);
            EXPECT_EQ(driver.close(handle), FT_OK);
        } else {
            EXPECT_NE(status, FT_OK);
            EXPECT_EQ(handle, 0u);
        }
    }
}

TEST_P(DriverContract, TakesTheLineSettingsTheLinkUses) {
    const FtHandle handle = openAndSetUp();
    EXPECT_EQ(rig->driver().close(handle), FT_OK);
}

TEST_P(DriverContract, SendsAFrameAndReceivesItsReply) {
    FtdiDriver& driver = rig->driver();
    const FtHandle handle = openAndSetUp();
    sendFrameAndAwaitReply(handle, kFirstValue);
    const auto expected = rig->parametersReply(kFirstValue);
    std::uint32_t waiting = 0;
    EXPECT_EQ(driver.getQueueStatus(handle, waiting), FT_OK);
    EXPECT_GE(waiting, expected.size());

    std::vector<std::uint8_t> reply(expected.size());
    std::uint32_t got = 0;
    EXPECT_EQ(driver.read(handle, reply.data(), static_cast<std::uint32_t>(reply.size()), got),
              FT_OK);
    EXPECT_EQ(got, reply.size());
    EXPECT_EQ(reply, expected);
    if (rig->whyNoQueue.empty()) {
        EXPECT_EQ(driver.getQueueStatus(handle, waiting), FT_OK);
        EXPECT_EQ(waiting, 0u);
    }
    EXPECT_EQ(driver.close(handle), FT_OK);
}

TEST_P(DriverContract, PurgeDropsAReplyNotRead) {
    if (!rig->whyNoQueue.empty()) GTEST_SKIP() << rig->whyNoQueue;
    FtdiDriver& driver = rig->driver();
    const FtHandle handle = openAndSetUp();
    sendFrameAndAwaitReply(handle, kFirstValue);
    EXPECT_EQ(driver.purge(handle, kPurgeRx), FT_OK);
    std::uint32_t waiting = 99;
    EXPECT_EQ(driver.getQueueStatus(handle, waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(driver.purge(handle, kPurgeTx), FT_OK);

    // The line still works: the next frame gets its own reply, not the purged one.
    sendFrameAndAwaitReply(handle, kSecondValue);
    const auto expected = rig->parametersReply(kSecondValue);
    std::vector<std::uint8_t> reply(expected.size());
    std::uint32_t got = 0;
    EXPECT_EQ(driver.read(handle, reply.data(), static_cast<std::uint32_t>(reply.size()), got),
              FT_OK);
    EXPECT_EQ(got, reply.size());
    EXPECT_EQ(reply, expected);
    EXPECT_EQ(driver.close(handle), FT_OK);
}

TEST_P(DriverContract, AnUnpluggedAdapterFailsEveryCallWithAStatus) {
    FtdiDriver& driver = rig->driver();
    const FtHandle handle = openAndSetUp();
    if (!rig->unplug()) GTEST_SKIP() << rig->whyNoUnplug;

    std::uint8_t byte = 0;
    std::uint32_t count = 0;
    EXPECT_NE(driver.read(handle, &byte, 0, count), FT_OK) << "the link's liveness check";
    EXPECT_NE(driver.write(handle, kParametersFrame.data(),
                           static_cast<std::uint32_t>(kParametersFrame.size()), count),
              FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(
        driver.waitForReceived(handle, 1, rig->clock().nowNs() + kReplyWaitNs, rig->clock(), count),
        FT_OK);
    EXPECT_NE(driver.read(handle, &byte, 1, count), FT_OK);
    EXPECT_EQ(count, 0u);
    // No longer listed; a driver may fail the whole enumeration instead (the scripted one).
    std::uint32_t listed = 0;
    if (driver.createDeviceInfoList(listed) == FT_OK) {
        std::vector<DeviceInfoNode> nodes(listed);
        if (listed > 0) {
            EXPECT_EQ(driver.getDeviceInfoList(nodes.data(), listed), FT_OK);
        }
        nodes.resize(listed);
        EXPECT_EQ(findSerial(nodes, rig->serial), nullptr);
    }
    (void)driver.close(handle);  // may fail: the device is gone; must not crash or leak
}

TEST_P(DriverContract, AClosedHandleIsNeverUsedAgain) {
    if (!rig->whyNoHandleCheck.empty()) GTEST_SKIP() << rig->whyNoHandleCheck;
    FtdiDriver& driver = rig->driver();
    const FtHandle handle = openAndSetUp();
    EXPECT_EQ(driver.close(handle), FT_OK);
    std::uint32_t count = 0;
    EXPECT_NE(driver.write(handle, kParametersFrame.data(),
                           static_cast<std::uint32_t>(kParametersFrame.size()), count),
              FT_OK);
    EXPECT_NE(driver.getQueueStatus(handle, count), FT_OK);
    EXPECT_NE(driver.close(handle), FT_OK);
}

}  // namespace qe::test
