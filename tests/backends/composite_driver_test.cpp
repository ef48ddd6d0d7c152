// The "auto" driver: several backends as one list, one entry per adapter, handles routed to
// the backend that opened them; and what the user reads when an adapter may not be opened.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "adapter_link.h"
#include "composite_driver.h"
#include "d2xx_driver.h"
#include "driver_choice.h"
#include "recording_sink.h"
#include "simulated_driver.h"

namespace qe::test {
namespace {

using Texts = std::vector<std::string>;

DeviceInfoNode node(const std::string& serial, const std::string& description) {
    DeviceInfoNode n;
    n.setSerialNumber(serial);
    n.setDescription(description);
    return n;
}

TEST(MergeDeviceLists, OneEntryPerSerialFromTheFirstBackendThatListsIt) {
    const std::vector<BackendList> lists = {
        {0, {node("A1", "QE7204 interface"), node("", "")}},
        {1, {node("A1", "QE7204 interface"), node("B2", "QE7204 interface"), node("", "")}},
        {2, {node("B2", "QE7204 interface"), node("C3", "FT232R USB UART")}},
    };
    const auto merged = mergeDeviceLists(lists);
    std::vector<std::pair<std::size_t, std::string>> seen;
    for (const auto& [backend, n] : merged) seen.emplace_back(backend, n.serialNumber());
    // Devices without a serial number cannot be told apart: each backend's are kept.
    EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, std::string>>{
                        {0, "A1"}, {0, ""}, {1, "B2"}, {1, ""}, {2, "C3"}}));
}

// Two simulated backends that both see the adapter "QE000001"; the second also sees another.
class CompositeOverSimulations : public ::testing::Test {
protected:
    CompositeOverSimulations() {
        auto first = std::make_unique<sim::SimulatedDriver>(clock);
        auto second = std::make_unique<sim::SimulatedDriver>(clock);
        firstDriver = first.get();
        secondDriver = second.get();
        first->setInstantReplies(true);
        second->setInstantReplies(true);
        first->addAdapter();
        second->addAdapter();
        second->addAdapter();
        std::vector<CompositeDriver::Backend> backends;
        backends.push_back({"tty", std::move(first)});
        backends.push_back({"libftdi", std::move(second)});
        composite = std::make_unique<CompositeDriver>(std::move(backends));
    }

    std::vector<DeviceInfoNode> enumerate() {
        std::uint32_t count = 0;
        EXPECT_EQ(composite->createDeviceInfoList(count), FT_OK);
        std::vector<DeviceInfoNode> nodes(count);
        EXPECT_EQ(composite->getDeviceInfoList(nodes.data(), count), FT_OK);
        nodes.resize(count);
        return nodes;
    }

    ManualClock clock;
    sim::SimulatedDriver* firstDriver = nullptr;
    sim::SimulatedDriver* secondDriver = nullptr;
    std::unique_ptr<CompositeDriver> composite;
};

TEST_F(CompositeOverSimulations, ListsEachAdapterOnceAndSaysWhichBackendFoundIt) {
    const auto nodes = enumerate();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].serialNumber(), "QE000001");
    EXPECT_EQ(nodes[1].serialNumber(), "QE000002");
    EXPECT_EQ(composite->backendOf(nodes[0]), "tty");
    EXPECT_EQ(composite->backendOf(nodes[1]), "libftdi");
    EXPECT_EQ(composite->backendOf(node("QE000009", "QE7204 interface")), "");
}

TEST_F(CompositeOverSimulations, OpensThroughTheListingBackendAndRoutesItsHandle) {
    enumerate();
    FtHandle one = 0;
    FtHandle two = 0;
    ASSERT_EQ(composite->openEx("QE000001", kOpenBySerialNumber, one), FT_OK);
    ASSERT_EQ(composite->openEx("QE000002", kOpenBySerialNumber, two), FT_OK);
    EXPECT_NE(one, two);
    EXPECT_TRUE(firstDriver->adapter(0).isOpen());
    EXPECT_FALSE(secondDriver->adapter(0).isOpen()) << "the adapter both list goes to the first";
    EXPECT_TRUE(secondDriver->adapter(1).isOpen());

    // The open handles show in the list as the composite's own.
    const auto nodes = enumerate();
    EXPECT_EQ(nodes[0].DeviceHandle, one);
    EXPECT_EQ(nodes[1].DeviceHandle, two);

    EXPECT_EQ(composite->setBaudRate(two, 250'000), FT_OK);
    EXPECT_EQ(secondDriver->adapter(1).baudRate(), 250'000u);
    EXPECT_EQ(composite->setLatencyTimer(one, 2), FT_OK);
    EXPECT_EQ(firstDriver->adapter(0).latencyTimerMs(), 2);

    EXPECT_EQ(composite->close(two), FT_OK);
    EXPECT_FALSE(secondDriver->adapter(1).isOpen());
    EXPECT_EQ(composite->setBaudRate(two, 250'000), FT_INVALID_HANDLE);
    EXPECT_EQ(enumerate()[1].DeviceHandle, 0u);
}

TEST_F(CompositeOverSimulations, WaitForBytesGoesToTheBackendOfTheHandle) {
    enumerate();
    FtHandle two = 0;
    ASSERT_EQ(composite->openEx("QE000002", kOpenBySerialNumber, two), FT_OK);
    const std::uint8_t query[] = {'Z', 4, 0};
    std::uint32_t written = 0;
    ASSERT_EQ(composite->write(two, query, 3, written), FT_OK);
    std::uint32_t waiting = 0;
    EXPECT_EQ(composite->waitForReceived(two, 1, clock.nowNs() + 20'000'000, clock, waiting),
              FT_OK);
    EXPECT_EQ(waiting, 1u);
    EXPECT_EQ(composite->waitForReceived(two + 1, 1, clock.nowNs(), clock, waiting),
              FT_INVALID_HANDLE);
}

TEST_F(CompositeOverSimulations, DeviceNotListedIsLookedForInEveryBackend) {
    FtHandle handle = 0;
    EXPECT_EQ(composite->openEx("QE000002", kOpenBySerialNumber, handle), FT_OK);
    EXPECT_TRUE(secondDriver->adapter(1).isOpen());
    EXPECT_EQ(composite->openEx("QE000009", kOpenBySerialNumber, handle), FT_DEVICE_NOT_FOUND);
}

TEST_F(CompositeOverSimulations, ConnectionLogicRunsUnchangedOverTheMergedList) {
    RecordingSink sink;
    RegisterImage image{};
    AdapterLink link(*composite, clock, sink, image);
    link.setLineSettings({250'000, 8, 2, 0});
    link.EnumerateDevices();
    EXPECT_EQ(link.deviceCount(), 2u);
    link.ConnectAdapter({});
    ASSERT_NE(link.adapterHandle(), 0u);
    EXPECT_EQ(link.lastOpenedSerial(), "QE000001");
    EXPECT_EQ(firstDriver->adapter(0).parameters(), 0xF0);
    EXPECT_TRUE(sink.shown.empty());
}

TEST(CompositeDriver, MissingBackendIsLeftOutQuietly) {
    ManualClock clock;
    auto simulation = std::make_unique<sim::SimulatedDriver>(clock);
    simulation->addAdapter();
    std::vector<CompositeDriver::Backend> backends;
    backends.push_back({"d2xx", std::make_unique<D2xxDriver>("libqe7204-no-such-library.so")});
    backends.push_back({"tty", std::move(simulation)});
    CompositeDriver composite(std::move(backends));
    EXPECT_TRUE(composite.hasCreateDeviceInfoList());
    std::uint32_t count = 0;
    EXPECT_EQ(composite.createDeviceInfoList(count), FT_OK);
    EXPECT_EQ(count, 1u);

    std::vector<CompositeDriver::Backend> none;
    none.push_back({"d2xx", std::make_unique<D2xxDriver>("libqe7204-no-such-library.so")});
    CompositeDriver nothing(std::move(none));
    EXPECT_FALSE(nothing.hasCreateDeviceInfoList());
    RecordingSink sink;
    RegisterImage image{};
    AdapterLink link(nothing, clock, sink, image);
    link.EnumerateDevices();
    EXPECT_EQ(link.deviceCount(), 0u);
    EXPECT_TRUE(sink.shown.empty()) << "no library is no failure worth a box";
}

// A backend that lists one adapter and may not open it, as when the udev rule is missing;
// or one whose list fails with listStatus.
class DeniedDriver final : public FtdiDriver {
public:
    FtStatus listStatus = FT_OK;

    bool hasCreateDeviceInfoList() const override { return true; }
    FtStatus createDeviceInfoList(std::uint32_t& count) override {
        if (listStatus != FT_OK) return listStatus;
        count = 1;
        return FT_OK;
    }
    FtStatus getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& count) override {
        nodes[0] = node("QE000007", "QE7204 interface");
        count = 1;
        return FT_OK;
    }
    FtStatus openEx(const void*, std::uint32_t, FtHandle&) override { return FT_DEVICE_NOT_OPENED; }
    std::string openFailureAdvice() const override { return "Install the udev rule."; }
    FtStatus close(FtHandle) override { return FT_INVALID_HANDLE; }
    FtStatus setLatencyTimer(FtHandle, std::uint8_t) override { return FT_INVALID_HANDLE; }
    FtStatus setBitMode(FtHandle, std::uint8_t, std::uint8_t) override { return FT_INVALID_HANDLE; }
    FtStatus setDataCharacteristics(FtHandle, std::uint8_t, std::uint8_t, std::uint8_t) override {
        return FT_INVALID_HANDLE;
    }
    FtStatus setBaudRate(FtHandle, std::uint32_t) override { return FT_INVALID_HANDLE; }
    FtStatus setTimeouts(FtHandle, std::uint32_t, std::uint32_t) override {
        return FT_INVALID_HANDLE;
    }
    FtStatus write(FtHandle, const std::uint8_t*, std::uint32_t, std::uint32_t&) override {
        return FT_INVALID_HANDLE;
    }
    FtStatus read(FtHandle, std::uint8_t*, std::uint32_t, std::uint32_t&) override {
        return FT_INVALID_HANDLE;
    }
    FtStatus getQueueStatus(FtHandle, std::uint32_t&) override { return FT_INVALID_HANDLE; }
    FtStatus purge(FtHandle, std::uint32_t) override { return FT_INVALID_HANDLE; }
};

// With `auto` one backend's failing enumeration was never shown while another listed its
// devices: it shows with the designed texts, once while it persists, in every driver mode.
TEST(CompositeDriver, FailingEnumerationOfOneBackendIsShownOnce) {
    ManualClock clock;
    auto failing = std::make_unique<DeniedDriver>();
    DeniedDriver* failingDriver = failing.get();
    failing->listStatus = FT_IO_ERROR;
    auto simulation = std::make_unique<sim::SimulatedDriver>(clock);
    simulation->addAdapter();
    std::vector<CompositeDriver::Backend> backends;
    backends.push_back({"d2xx", std::make_unique<D2xxDriver>("libqe7204-no-such-library.so")});
    backends.push_back({"libftdi", std::move(failing)});
    backends.push_back({"tty", std::move(simulation)});
    CompositeDriver composite(std::move(backends));
    RecordingSink sink;
    RegisterImage image{};
    AdapterLink link(composite, clock, sink, image);

    for (int second = 0; second < 3; ++second) link.EnumerateDevices();
    EXPECT_EQ(link.deviceCount(), 1u) << "the other backends are still listed";
    EXPECT_EQ(sink.texts(), Texts{"FT_CreateDeviceInfoList - General IO error..."});

    failingDriver->listStatus = FT_OK;
    link.EnumerateDevices();
    failingDriver->listStatus = FT_INSUFFICIENT_RESOURCES;
    link.EnumerateDevices();
    link.EnumerateDevices();
    EXPECT_EQ(sink.texts(), (Texts{"FT_CreateDeviceInfoList - General IO error...",
                                   "FT_CreateDeviceInfoList - Insufficient resources..."}));

    // Alone, as --driver libftdi has it, the same failure shows the same way.
    DeniedDriver alone;
    alone.listStatus = FT_IO_ERROR;
    RecordingSink aloneSink;
    AdapterLink aloneLink(alone, clock, aloneSink, image);
    aloneLink.EnumerateDevices();
    aloneLink.EnumerateDevices();
    EXPECT_EQ(aloneSink.texts(), Texts{"FT_CreateDeviceInfoList - General IO error..."});
}

TEST(PermissionMessage, ListedAdapterThatMayNotBeOpenedSaysWhatToDoOnce) {
    std::vector<CompositeDriver::Backend> backends;
    backends.push_back({"tty", std::make_unique<DeniedDriver>()});
    CompositeDriver composite(std::move(backends));
    ManualClock clock;
    RecordingSink sink;
    RegisterImage image{};
    AdapterLink link(composite, clock, sink, image);

    for (int tick = 0; tick < 3; ++tick) {
        link.EnumerateDevices();
        link.ConnectAdapter({});
    }
    EXPECT_EQ(link.adapterHandle(), 0u);
    EXPECT_EQ(sink.texts(), (Texts{"Open_USB_Device_By_Serial_Number - Device not opened...\n\n"
                                   "Install the udev rule.",
                                   "Port can not be opened"}));
}

TEST(DriverChoice, NamesOfTheBackends) {
    for (const char* name : {"auto", "d2xx", "tty", "libftdi", "sim"}) {
        const auto choice = driverChoiceFromName(name);
        ASSERT_TRUE(choice) << name;
        EXPECT_STREQ(driverChoiceName(*choice), name);
    }
    for (const char* name : {"", "simulate", "TTY", "ftdi", "auto "})
        EXPECT_FALSE(driverChoiceFromName(name)) << name;
    EXPECT_EQ(driverChoiceNames(), "auto|d2xx|tty|libftdi|sim");
}

TEST(DriverChoice, AutoCombinesEveryBackendInOrderOfPreference) {
    const auto driver = makeRealDriver(DriverChoice::Auto);
    const auto* composite = dynamic_cast<const CompositeDriver*>(driver.get());
    ASSERT_NE(composite, nullptr);
    ASSERT_EQ(composite->backendCount(), 3u);
    EXPECT_EQ(composite->backendName(0), "d2xx");
    EXPECT_EQ(composite->backendName(1), "tty");
    EXPECT_EQ(composite->backendName(2), "libftdi");
    for (auto choice : {DriverChoice::D2xx, DriverChoice::Tty, DriverChoice::LibFtdi})
        EXPECT_EQ(makeRealDriver(choice)->backendOf(DeviceInfoNode{}), driverChoiceName(choice));
    // The simulated adapter needs its bench: ChosenDriver makes it.
    EXPECT_FALSE(makeRealDriver(DriverChoice::Simulated));
}

}  // namespace
}  // namespace qe::test
