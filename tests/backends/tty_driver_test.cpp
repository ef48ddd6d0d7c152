// The kernel-serial backend end to end: enumeration from sysfs, the adapter's whole command
// protocol through AdapterLink over a real pseudo-terminal, clearing, waiting and unplugging.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "adapter_link.h"
#include "port_holder.h"
#include "port_in_use.h"
#include "recording_sink.h"
#include "register_image.h"
#include "tty_fixture.h"

namespace qe::test {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

std::string fileText(const fs::path& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<DeviceInfoNode> enumerate(FtdiDriver& driver) {
    std::uint32_t count = 0;
    EXPECT_EQ(driver.createDeviceInfoList(count), FT_OK);
    std::vector<DeviceInfoNode> nodes(count);
    EXPECT_EQ(driver.getDeviceInfoList(nodes.data(), count), FT_OK);
    nodes.resize(count);
    return nodes;
}

class TtyDriverTest : public TtyOverPty {
protected:
    FtHandle open() {
        FtHandle handle = 0;
        EXPECT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, handle), FT_OK);
        return handle;
    }

    void send(FtHandle handle, const Bytes& frame) {
        std::uint32_t written = 0;
        ASSERT_EQ(
            driver.write(handle, frame.data(), static_cast<std::uint32_t>(frame.size()), written),
            FT_OK);
        ASSERT_EQ(written, frame.size());
    }

    Bytes read(FtHandle handle, std::uint32_t count) {
        Bytes bytes(count);
        std::uint32_t got = 0;
        EXPECT_EQ(driver.read(handle, bytes.data(), count, got), FT_OK);
        bytes.resize(got);
        return bytes;
    }
};

TEST_F(TtyDriverTest, ListsThePortWithItsUsbStringsAndHandle) {
    auto nodes = enumerate(driver);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].description(), "QE7204 interface");
    EXPECT_EQ(nodes[0].serialNumber(), "QE000001");
    EXPECT_EQ(nodes[0].ID, 0x04036001u);
    EXPECT_EQ(nodes[0].DeviceHandle, 0u);
    EXPECT_EQ(nodes[0].Flags, 0u) << "nobody holds it";
    EXPECT_EQ(driver.backendOf(nodes[0]), "tty");

    const FtHandle handle = open();
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(driver.nodeOf(handle), (tree.roots().dev / portName).string());
    nodes = enumerate(driver);
    EXPECT_EQ(nodes[0].DeviceHandle, handle) << "an open port is not free";
    EXPECT_EQ(nodes[0].Flags, 1u);
    FtHandle second = 0;
    EXPECT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, second), FT_DEVICE_NOT_FOUND);

    EXPECT_EQ(driver.close(handle), FT_OK);
    EXPECT_EQ(enumerate(driver)[0].DeviceHandle, 0u);
    EXPECT_EQ(driver.close(handle), FT_INVALID_HANDLE);
}

TEST_F(TtyDriverTest, OpensByDescriptionAndRefusesUnknownDevices) {
    FtHandle handle = 0;
    EXPECT_EQ(driver.openEx("QE000002", kOpenBySerialNumber, handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver.openEx("QE7204", kOpenByDescription, handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver.openEx("QE7204 interface", 4, handle), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.openEx("QE7204 interface", kOpenByDescription, handle), FT_OK);
    EXPECT_NE(handle, 0u);
    EXPECT_TRUE(driver.openFailureAdvice().empty());
}

TEST_F(TtyDriverTest, WholeProtocolThroughTheAdapterLink) {
    RecordingSink sink;
    RegisterImage image{};
    SystemClock clock;
    AdapterLink link(driver, clock, sink, image);
    link.setLineSettings({250'000, 8, 2, 0});

    link.EnumerateDevices();
    link.ConnectAdapter({});
    ASSERT_NE(link.adapterHandle(), 0u);
    EXPECT_EQ(link.lastOpenedSerial(), "QE000001");
    EXPECT_EQ(fileText(tree.latencyTimer(portName)), "16\n");
    EXPECT_EQ(adapter.parameters(), 0xF0);
    EXPECT_EQ(adapter.frames(), (Texts{"params 0xF0", "query power"}));

    adapter.clearFrames();
    link.PowerOn();
    EXPECT_TRUE(link.chipPowered());
    EXPECT_TRUE(adapter.supplyOn());
    EXPECT_TRUE(link.CheckConnection());
    EXPECT_TRUE(link.ScanBus());
    EXPECT_EQ(link.chipAddressList(), std::vector<std::uint8_t>{0});
    EXPECT_TRUE(link.WriteRegister(0, 49, 0x0205));
    EXPECT_EQ(link.ReadRegister(0, 49).word, 0x0205);
    EXPECT_TRUE(link.WriteRegister(0, 3, 0x1234)) << "an EEPROM word, acknowledged after its write";
    ASSERT_TRUE(link.ReadAllRegisters(0));
    EXPECT_EQ(image[3], 0x1234);
    EXPECT_EQ(image[49], 0x0205);
    EXPECT_TRUE(link.ReadOutputRegisters(0));
    EXPECT_FALSE(link.SetAdapterParameters(16, 0));
    link.PowerOff();
    EXPECT_FALSE(link.chipPowered());
    EXPECT_EQ(adapter.frames(),
              (Texts{"power on", "query power", "scan", "W 0 49 0x0205", "R 0 49", "W 0 3 0x1234",
                     "readAll 0", "readOutputs 0", "power off", "query power"}));
    EXPECT_EQ(sink.texts(), Texts{"Parameters are not OK"});

    link.CloseAdapter();
    EXPECT_EQ(link.adapterHandle(), 0u);
}

TEST_F(TtyDriverTest, ClearsWhatWaitsInEitherDirection) {
    const FtHandle handle = open();
    send(handle, {'Z', 4, 0});
    send(handle, {'Z', 4, 0});
    // Both replies are waiting (bounded: the adapter answers within milliseconds).
    std::uint32_t waiting = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (waiting < 2 && std::chrono::steady_clock::now() < deadline)
        ASSERT_EQ(driver.getQueueStatus(handle, waiting), FT_OK);
    ASSERT_EQ(waiting, 2u);
    EXPECT_EQ(driver.purge(handle, kPurgeRx), FT_OK);
    EXPECT_EQ(driver.getQueueStatus(handle, waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(driver.purge(handle, kPurgeTx), FT_OK);
    EXPECT_EQ(driver.purge(handle, kPurgeRx | kPurgeTx), FT_OK);
    EXPECT_EQ(driver.purge(handle, 0), FT_INVALID_PARAMETER);
}

TEST_F(TtyDriverTest, ReadWaitsForItsBytesOrItsTimeOut) {
    const FtHandle handle = open();
    ASSERT_EQ(driver.setTimeouts(handle, 30, 30), FT_OK);
    // Nothing asked, nothing comes: the read ends with what it has.
    EXPECT_EQ(read(handle, 1), Bytes{});
    // A register read's two bytes, read at once without looking at the queue first.
    send(handle, {'Z', 3, 255});
    send(handle, {'Y', 1, 48});
    EXPECT_EQ(read(handle, 2).size(), 2u);
    send(handle, {'Z', 4, 0});
    EXPECT_EQ(read(handle, 4), Bytes{1}) << "fewer bytes than asked after the time-out";
}

TEST_F(TtyDriverTest, WaitsForBytesUntilTheyComeOrTheDeadline) {
    const FtHandle handle = open();
    SystemClock clock;
    std::uint32_t waiting = 99;
    // Nothing asked: the wait ends at its deadline with the queue as it is.
    EXPECT_EQ(driver.waitForReceived(handle, 1, clock.nowNs() + 20'000'000, clock, waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
    send(handle, {'Z', 4, 0});
    send(handle, {'Z', 4, 0});
    EXPECT_EQ(driver.waitForReceived(handle, 2, clock.nowNs() + 2'000'000'000, clock, waiting),
              FT_OK);
    EXPECT_EQ(waiting, 2u);
    adapter.unplug();
    EXPECT_EQ(driver.waitForReceived(handle, 3, clock.nowNs() + 2'000'000'000, clock, waiting),
              FT_IO_ERROR);
    EXPECT_EQ(driver.waitForReceived(0x5555, 1, clock.nowNs(), clock, waiting), FT_INVALID_HANDLE);
}

TEST_F(TtyDriverTest, UnpluggedPortGivesTheIoErrorStatus) {
    RecordingSink sink;
    RegisterImage image{};
    SystemClock clock;
    AdapterLink link(driver, clock, sink, image);
    link.setLineSettings({250'000, 8, 2, 0});
    link.EnumerateDevices();
    link.ConnectAdapter({});
    const FtHandle handle = link.adapterHandle();
    ASSERT_NE(handle, 0u);

    adapter.unplug();
    Bytes buffer(8);
    std::uint32_t count = 0;
    EXPECT_EQ(driver.read(handle, buffer.data(), 0, count), FT_IO_ERROR);
    EXPECT_EQ(driver.getQueueStatus(handle, count), FT_IO_ERROR);
    EXPECT_EQ(driver.write(handle, buffer.data(), 2, count), FT_IO_ERROR);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(link.CheckConnection());
    EXPECT_EQ(link.adapterHandle(), 0u);
    EXPECT_FALSE(link.ReadOutputRegisters(0));
    EXPECT_EQ(driver.close(handle), FT_INVALID_HANDLE) << "the connection check let go of it";
    EXPECT_TRUE(sink.shown.empty()) << "a lost adapter is shown in the status bar, not in boxes";
}

TEST_F(TtyDriverTest, LatencyTimerThatCannotBeWrittenIsToldOnce) {
    // A folder where the file should be cannot be written, not even by root.
    const fs::path latency = tree.latencyTimer(portName);
    fs::remove(latency);
    fs::create_directory(latency);
    for (int i = 0; i < 2; ++i) {
        const FtHandle handle = open();
        EXPECT_EQ(driver.setLatencyTimer(handle, 16), FT_OK) << "no failure: the port still works";
        EXPECT_EQ(driver.close(handle), FT_OK);
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("Cannot set the latency timer of " + portName + " to 16 ms"),
              std::string::npos)
        << notices[0];
}

TEST_F(TtyDriverTest, LineSettingsOfTheAdapterAndRefusedOnes) {
    const FtHandle handle = open();
    EXPECT_EQ(driver.setDataCharacteristics(handle, 8, 2, 0), FT_OK);
    EXPECT_EQ(driver.setBaudRate(handle, 250'000), FT_OK);
    EXPECT_EQ(driver.setBitMode(handle, 0, 0), FT_OK);
    EXPECT_EQ(driver.setDataCharacteristics(handle, 9, 2, 0), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.setDataCharacteristics(handle, 8, 1, 0), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.setDataCharacteristics(handle, 8, 2, 5), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.setBitMode(handle, 0xFF, 1), FT_NOT_SUPPORTED);
    EXPECT_EQ(driver.setBaudRate(handle, 0), FT_INVALID_BAUD_RATE);
    EXPECT_EQ(driver.setBaudRate(0x5555, 250'000), FT_INVALID_HANDLE);
}

TEST_F(TtyDriverTest, PortThisUserMayNotOpenSaysWhatToDo) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may open any node";
    const fs::path locked = tree.root() / "locked";
    std::ofstream(locked) << "";
    fs::permissions(locked, fs::perms::none);
    fs::remove(tree.roots().dev / portName);
    fs::create_symlink(locked, tree.roots().dev / portName);

    FtHandle handle = 0;
    EXPECT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, handle), FT_DEVICE_NOT_OPENED);
    const std::string advice = driver.openFailureAdvice();
    EXPECT_NE(advice.find("60-qe7204.rules"), std::string::npos) << advice;
    EXPECT_NE(advice.find("dialout"), std::string::npos) << advice;
    EXPECT_NE(advice.find((tree.roots().dev / portName).string()), std::string::npos) << advice;
}

// A second copy of the tool on the same adapter: its list and its open say who holds it.
TEST_F(TtyDriverTest, APortAnotherProgramHoldsSaysSo) {
    const FtHandle held = open();
    ASSERT_NE(held, 0u);
    TtyDriver second{tree.roots(), [](const std::string&) {}};
    const auto nodes = enumerate(second);
    EXPECT_EQ(nodes[0].Flags, 1u);
    EXPECT_EQ(nodes[0].DeviceHandle, 0u);
    FtHandle handle = 0;
    EXPECT_EQ(second.openEx("QE000001", kOpenBySerialNumber, handle), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(second.openFailureAdvice(),
              "Another program is using the adapter. Close it (or the other copy of this tool) "
              "and try again.");
}

// A program that is no Qt program holds the port by a lock on the node, as this driver does:
// the port is listed as open and is not taken.
TEST_F(TtyDriverTest, APortLockedByAnotherProgramIsListedOpenAndNotTaken) {
    const std::string node = (tree.roots().dev / portName).string();
    const int other = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(enumerate(driver)[0].Flags, 1u);
    FtHandle handle = 0;
    EXPECT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, handle), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(driver.openFailureAdvice(),
              "Another program is using the adapter. Close it (or the other copy of this tool) "
              "and try again.");
    ::close(other);
    EXPECT_EQ(enumerate(driver)[0].Flags, 0u);
    EXPECT_NE(open(), 0u);
}

// A program that simply has the port open (a terminal program, with no lock) is seen through
// /proc, as fuser sees it: the port is listed open and not taken, and free again once it has
// gone.
TEST_F(TtyDriverTest, APortAnotherProgramHasOpenIsListedOpen) {
    const auto node = tree.roots().dev / portName;
    const int own = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(own, 0);
    EXPECT_FALSE(openByAnotherProcess(node)) << "this process's own descriptors do not count";
    ::close(own);
    PortHolder other(node);
    ASSERT_TRUE(other.holds());
    EXPECT_TRUE(openByAnotherProcess(node));
    EXPECT_EQ(enumerate(driver)[0].Flags, 1u);
    FtHandle handle = 0;
    EXPECT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, handle), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(driver.openFailureAdvice(),
              "Another program is using the adapter. Close it (or the other copy of this tool) "
              "and try again.");
    other.release();
    EXPECT_FALSE(openByAnotherProcess(node));
    EXPECT_EQ(enumerate(driver)[0].Flags, 0u);
    EXPECT_NE(open(), 0u);
}

// While this driver holds the port, others can neither lock it nor (unless root) open it.
TEST_F(TtyDriverTest, AnOpenPortKeepsOthersOut) {
    ASSERT_NE(open(), 0u);
    const std::string node = (tree.roots().dev / portName).string();
    const int other = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (other < 0) {
        EXPECT_EQ(errno, EBUSY);
        return;
    }
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(errno, EWOULDBLOCK);
    int exclusive = 0;
    EXPECT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    ::close(other);
}

}  // namespace
}  // namespace qe::test
