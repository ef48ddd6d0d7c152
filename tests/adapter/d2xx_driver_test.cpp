#include <gtest/gtest.h>

#include <dlfcn.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "adapter_link.h"
#include "clock.h"
#include "d2xx_driver.h"
#include "recording_sink.h"

// The fake libraries (libftd2xx.so and libftd2xx_nocreate.so) are loaded by their full path:
// a sanitizer's dlopen does not search the test program's run path.

namespace qe {
namespace {

std::string fakeLibrary(const char* fileName = "libftd2xx.so") {
    return std::string(QE7204_FAKE_D2XX_DIR) + "/" + fileName;
}

// The call log of the fake library that a driver loaded from that path uses.
class FakeLog {
public:
    explicit FakeLog(const std::string& library = fakeLibrary())
        : library_(dlopen(library.c_str(), RTLD_NOW)) {
        EXPECT_NE(library_, nullptr) << dlerror();
        if (!library_) return;
        read_ = reinterpret_cast<const char* (*)()>(dlsym(library_, "fake_d2xx_log"));
        reset_ = reinterpret_cast<void (*)()>(dlsym(library_, "fake_d2xx_reset"));
        attachNothing_ = reinterpret_cast<void (*)()>(dlsym(library_, "fake_d2xx_attach_nothing"));
        reset();
    }
    ~FakeLog() {
        if (library_) dlclose(library_);
    }
    FakeLog(const FakeLog&) = delete;
    FakeLog& operator=(const FakeLog&) = delete;

    std::string text() const { return read_ ? read_() : "<no log>"; }
    void reset() {
        if (reset_) reset_();
    }
    void attachNothing() {
        if (attachNothing_) attachNothing_();
    }

private:
    void* library_;
    const char* (*read_)() = nullptr;
    void (*reset_)() = nullptr;
    void (*attachNothing_)() = nullptr;
};

TEST(D2xxDriver, LoadsTheLibraryAndLists) {
    EXPECT_STREQ(D2xxDriver::defaultLibraryName(), "libftd2xx.so");
    FakeLog log;
    D2xxDriver driver(fakeLibrary());
    ASSERT_TRUE(driver.isLoaded());
    EXPECT_TRUE(driver.hasCreateDeviceInfoList());

    std::uint32_t count = 0;
    EXPECT_EQ(driver.createDeviceInfoList(count), FT_OK);
    ASSERT_EQ(count, 2u);
    std::vector<DeviceInfoNode> nodes(count);
    EXPECT_EQ(driver.getDeviceInfoList(nodes.data(), count), FT_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(log.text(), "FT_CreateDeviceInfoList;FT_GetDeviceInfoList;");

    // Texts that fill their arrays end at the arrays' ends.
    EXPECT_EQ(nodes[0].serialNumber(), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(nodes[0].description(), "QE7204 interface" + std::string(48, 'd'));
    EXPECT_EQ(nodes[0].Flags, 0u);
    EXPECT_EQ(nodes[0].DeviceType, 8u);
    EXPECT_EQ(nodes[0].ID, 0x04036001u);
    EXPECT_EQ(nodes[0].LocID, 0x2011u);
    EXPECT_EQ(nodes[0].DeviceHandle, 0u);

    EXPECT_EQ(nodes[1].serialNumber(), "FT123");
    EXPECT_EQ(nodes[1].description(), "Other device");
    EXPECT_EQ(nodes[1].Flags, 1u);
    EXPECT_EQ(nodes[1].DeviceType, 5u);
    EXPECT_EQ(nodes[1].ID, 0x04036010u);
    EXPECT_EQ(nodes[1].LocID, 0x2012u);
    EXPECT_NE(nodes[1].DeviceHandle, 0u);
}

TEST(D2xxDriver, PassesArgumentsAndTheHandleThrough) {
    FakeLog log;
    D2xxDriver driver(fakeLibrary());
    FtHandle handle = 0;
    ASSERT_EQ(driver.openEx("ABCDEFGHIJKLMNOP", kOpenBySerialNumber, handle), FT_OK);
    ASSERT_NE(handle, 0u);

    EXPECT_EQ(driver.setLatencyTimer(handle, 16), FT_OK);
    EXPECT_EQ(driver.setBitMode(handle, 0, 0), FT_OK);
    EXPECT_EQ(driver.setDataCharacteristics(handle, 8, 2, 0), FT_OK);
    EXPECT_EQ(driver.setBaudRate(handle, 250000), FT_OK);
    EXPECT_EQ(driver.setBaudRate(handle, 9600), FT_INVALID_BAUD_RATE);
    EXPECT_EQ(driver.setTimeouts(handle, 2000, 1500), FT_OK);

    const std::uint8_t frame[] = {89, 42, 48, 0x12, 0x34};
    std::uint32_t written = 0;
    EXPECT_EQ(driver.write(handle, frame, 5, written), FT_OK);
    EXPECT_EQ(written, 4u);

    std::uint8_t reply[8] = {};
    std::uint32_t got = 0;
    EXPECT_EQ(driver.read(handle, reply, 5, got), FT_OK);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(reply, reply + 4),
              (std::vector<std::uint8_t>{0xA0, 0xA1, 0xA2, 0}));

    std::uint32_t waiting = 0;
    EXPECT_EQ(driver.getQueueStatus(handle, waiting), FT_OK);
    EXPECT_EQ(waiting, 7u);
    EXPECT_EQ(driver.purge(handle, kPurgeRx), FT_OK);
    EXPECT_EQ(driver.purge(handle, kPurgeTx), FT_OK);
    EXPECT_EQ(driver.read(handle, reply, 0, got), FT_OK);
    EXPECT_EQ(driver.close(handle), FT_OK);

    EXPECT_EQ(
        log.text(),
        "FT_OpenEx(ABCDEFGHIJKLMNOP,1);FT_SetLatencyTimer(h,16);FT_SetBitMode(h,0,0);"
        "FT_SetDataCharacteristics(h,8,2,0);FT_SetBaudRate(h,250000);FT_SetBaudRate(h,9600);"
        "FT_SetTimeouts(h,2000,1500);FT_Write(h,89 42 48 18 52);FT_Read(h,5);FT_GetQueueStatus(h);"
        "FT_Purge(h,1);FT_Purge(h,2);FT_Read(h,0);FT_Close(h);");
}

TEST(D2xxDriver, FailedCallsGiveTheLibrarysStatus) {
    FakeLog log;
    D2xxDriver driver(fakeLibrary());
    FtHandle handle = 0;
    EXPECT_EQ(driver.openEx("ABSENT", kOpenBySerialNumber, handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, 0u);

    std::uint32_t got = 99;
    std::uint8_t buffer[1];
    EXPECT_EQ(driver.read(0x1234, buffer, 0, got), FT_IO_ERROR);
    EXPECT_EQ(got, 0u);
}

// Every entry point of a library that is not there answers "not supported" and leaves the
// caller's values alone.
void expectEveryCallUnsupported(D2xxDriver& driver) {
    FtHandle handle = 0;
    std::uint32_t count = 3;
    std::uint8_t byte = 0x5A;
    DeviceInfoNode node;
    const std::pair<const char*, std::function<FtStatus()>> calls[] = {
        {"getDeviceInfoList", [&] { return driver.getDeviceInfoList(&node, count); }},
        {"openEx", [&] { return driver.openEx("A1", kOpenBySerialNumber, handle); }},
        {"close", [&] { return driver.close(1); }},
        {"setLatencyTimer", [&] { return driver.setLatencyTimer(1, 16); }},
        {"setBitMode", [&] { return driver.setBitMode(1, 0, 0); }},
        {"setDataCharacteristics", [&] { return driver.setDataCharacteristics(1, 8, 2, 0); }},
        {"setBaudRate", [&] { return driver.setBaudRate(1, 250000); }},
        {"setTimeouts", [&] { return driver.setTimeouts(1, 2000, 2000); }},
        {"getQueueStatus", [&] { return driver.getQueueStatus(1, count); }},
        {"purge", [&] { return driver.purge(1, kPurgeRx); }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        EXPECT_EQ(call(), FT_NOT_SUPPORTED);
    }
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(count, 3u);

    // Transfers report nothing moved.
    std::uint32_t moved = 9;
    EXPECT_EQ(driver.write(1, &byte, 1, moved), FT_NOT_SUPPORTED);
    EXPECT_EQ(moved, 0u);
    moved = 9;
    EXPECT_EQ(driver.read(1, &byte, 1, moved), FT_NOT_SUPPORTED);
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(byte, 0x5A);
}

struct MissingLibraryCase {
    const char* library;
    bool loaded;
};

// Without the library, or without its FT_CreateDeviceInfoList, there are no devices: status
// 9, and no other call crashes.
TEST(D2xxDriver, MissingLibraryOrEntryPoint) {
    const MissingLibraryCase cases[] = {
        {"libftd2xx_not_installed.so", false},
        {QE7204_FAKE_D2XX_DIR "/libftd2xx_nocreate.so", true},
    };
    for (const MissingLibraryCase& c : cases) {
        SCOPED_TRACE(c.library);
        D2xxDriver driver(c.library);
        EXPECT_EQ(driver.isLoaded(), c.loaded);
        EXPECT_FALSE(driver.hasCreateDeviceInfoList());
        std::uint32_t count = 5;
        EXPECT_EQ(driver.createDeviceInfoList(count), FT_DEVICE_NOT_OPENED_FOR_WRITE);
        EXPECT_EQ(count, 5u);
        if (!c.loaded) expectEveryCallUnsupported(driver);

        ManualClock clock;
        test::RecordingSink sink;
        RegisterImage image{};
        AdapterLink link(driver, clock, sink, image);
        link.EnumerateDevices();
        link.ConnectAdapter({});
        EXPECT_TRUE(link.deviceInfoList().empty());
        EXPECT_EQ(link.adapterHandle(), 0u);
        EXPECT_TRUE(sink.shown.empty());
    }
}

// The library may run threads of its own that outlive the driver: unloading it under them
// crashed the program at exit.
TEST(D2xxDriver, LibraryStaysLoadedAfterTheDriverIsGone) {
    const std::string path = fakeLibrary("libftd2xx_nocreate.so");
    { D2xxDriver driver(path); }
    void* stillLoaded = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(stillLoaded, nullptr);
    if (stillLoaded) dlclose(stillLoaded);
}

// With nothing attached the library is still handed a list, which it would refuse as a bad
// parameter on every enumeration otherwise.
TEST(D2xxDriver, ListsNothingAttachedWithoutAnError) {
    FakeLog log;
    log.attachNothing();
    D2xxDriver driver(fakeLibrary());
    ManualClock clock;
    test::RecordingSink sink;
    RegisterImage image{};
    AdapterLink link(driver, clock, sink, image);
    for (int tick = 0; tick < 2; ++tick) {
        link.EnumerateDevices();
        link.ConnectAdapter({});
    }
    EXPECT_EQ(log.text(),
              "FT_CreateDeviceInfoList;FT_GetDeviceInfoList;"
              "FT_CreateDeviceInfoList;FT_GetDeviceInfoList;");
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_TRUE(link.deviceInfoList().empty());
}

// The whole connection through the loaded library: the layout of its device list, the handle
// it gives out and the line settings all reach it intact.
TEST(D2xxDriver, ConnectsThroughTheLibrary) {
    FakeLog log;
    D2xxDriver driver(fakeLibrary());
    ManualClock clock;
    test::RecordingSink sink;
    RegisterImage image{};
    AdapterLink link(driver, clock, sink, image);
    link.setLineSettings({250000, 8, 2, 0});

    link.EnumerateDevices();
    link.ConnectAdapter({});
    ASSERT_NE(link.adapterHandle(), 0u);
    EXPECT_EQ(link.lastOpenedSerial(), "ABCDEFGHIJKLMNOP");
    const std::string opening =
        "FT_CreateDeviceInfoList;FT_GetDeviceInfoList;FT_OpenEx(ABCDEFGHIJKLMNOP,1);FT_"
        "SetLatencyTimer(h,16);"
        "FT_SetBitMode(h,0,0);FT_SetDataCharacteristics(h,8,2,0);FT_SetBaudRate(h,250000);"
        "FT_SetTimeouts(h,2000,2000);";
    const std::string logged = log.text();
    EXPECT_EQ(logged.substr(0, opening.size()), opening);
    // The adapter parameters go out over the handle the library gave.
    EXPECT_NE(logged.find("FT_Write(h,90 2 240);", opening.size()), std::string::npos) << logged;

    log.reset();
    EXPECT_TRUE(link.CheckConnection());
    link.CloseAdapter();
    EXPECT_EQ(log.text(), "FT_Read(h,0);FT_Close(h);");
    EXPECT_TRUE(sink.shown.empty());
}

// --- Arrival notification ---------------------------------------------------------------------

// The fake library with FT_SetEventNotification, and its receive queue.
class EventsLibrary : public FakeLog {
public:
    static std::string path() { return fakeLibrary("libftd2xx_events.so"); }
    EventsLibrary() : FakeLog(path()), library_(dlopen(path().c_str(), RTLD_NOW)) {
        arriveNow_ =
            reinterpret_cast<void (*)(std::uint32_t)>(dlsym(library_, "fake_d2xx_arrive_now"));
        arriveAfter_ = reinterpret_cast<void (*)(std::uint32_t, unsigned)>(
            dlsym(library_, "fake_d2xx_arrive_after"));
        failNotification_ = reinterpret_cast<void (*)(FtStatus)>(
            dlsym(library_, "fake_d2xx_fail_event_notification"));
        queueLooks_ = reinterpret_cast<unsigned (*)()>(dlsym(library_, "fake_d2xx_queue_looks"));
    }
    ~EventsLibrary() {
        reset();  // joins the threads still to deliver
        dlclose(library_);
    }

    void arriveNow(std::uint32_t bytes) { arriveNow_(bytes); }
    void arriveAfter(std::uint32_t bytes, unsigned ms) { arriveAfter_(bytes, ms); }
    void failNotification(FtStatus status) { failNotification_(status); }
    unsigned queueLooks() const { return queueLooks_(); }

private:
    void* library_;
    void (*arriveNow_)(std::uint32_t) = nullptr;
    void (*arriveAfter_)(std::uint32_t, unsigned) = nullptr;
    void (*failNotification_)(FtStatus) = nullptr;
    unsigned (*queueLooks_)() = nullptr;
};

constexpr std::int64_t kMs = 1'000'000;
// Far beyond any arrival in these tests: a wait that reaches it missed its signal.
constexpr std::int64_t kFarDeadlineNs = 60'000 * kMs;

struct OpenedThroughEvents : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(driver.openEx("ABCDEFGHIJKLMNOP", kOpenBySerialNumber, handle), FT_OK);
        library.reset();
    }
    EventsLibrary library;
    D2xxDriver driver{EventsLibrary::path()};
    FtHandle handle = 0;
};

TEST(D2xxArrivalNotification, RegisteredForEachOpenedHandleAndReleasedBeforeClosing) {
    EventsLibrary library;
    D2xxDriver driver(EventsLibrary::path());
    FtHandle handle = 0;
    ASSERT_EQ(driver.openEx("ABCDEFGHIJKLMNOP", kOpenBySerialNumber, handle), FT_OK);
    EXPECT_TRUE(driver.notifiesArrivals(handle));
    // The library gives out the same handle again, as after a handle lost without closing.
    ASSERT_EQ(driver.openEx("ABCDEFGHIJKLMNOP", kOpenBySerialNumber, handle), FT_OK);
    EXPECT_TRUE(driver.notifiesArrivals(handle));
    EXPECT_EQ(driver.close(handle), FT_OK);
    EXPECT_FALSE(driver.notifiesArrivals(handle));
    EXPECT_EQ(library.text(),
              "FT_OpenEx(ABCDEFGHIJKLMNOP,1);FT_SetEventNotification(h,1);"
              "FT_OpenEx(ABCDEFGHIJKLMNOP,1);FT_SetEventNotification(h,1);"
              "FT_SetEventNotification(h,0);FT_Close(h);");
}

TEST_F(OpenedThroughEvents, WaitSleepsUntilTheLibrarySignals) {
    SystemClock clock;
    const std::int64_t deadline = clock.nowNs() + kFarDeadlineNs;
    library.arriveAfter(3, 5);  // part of the reply: one signal, not enough
    library.arriveAfter(5, 30);
    std::uint32_t waiting = 0;
    EXPECT_EQ(driver.waitForReceived(handle, 8, deadline, clock, waiting), FT_OK);
    EXPECT_EQ(waiting, 8u);
    EXPECT_LT(clock.nowNs(), deadline) << "the signal was missed";
    // A look before the first wait and one after each signal, where looking every 0.2 ms
    // would have made some 150.
    EXPECT_LE(library.queueLooks(), 5u);
}

TEST_F(OpenedThroughEvents, BytesSignalledBeforeTheWaitEndItAtOnce) {
    SystemClock clock;
    library.arriveNow(2);
    std::uint32_t waiting = 0;
    EXPECT_EQ(driver.waitForReceived(handle, 1, clock.nowNs() + kFarDeadlineNs, clock, waiting),
              FT_OK);
    EXPECT_EQ(waiting, 2u);
    EXPECT_EQ(library.queueLooks(), 1u);
}

TEST_F(OpenedThroughEvents, WaitWithoutBytesLastsToItsDeadline) {
    SystemClock clock;
    const std::int64_t deadline = clock.nowNs() + 30 * kMs;
    std::uint32_t waiting = 99;
    EXPECT_EQ(driver.waitForReceived(handle, 1, deadline, clock, waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
    EXPECT_GE(clock.nowNs(), deadline);
}

// A manual clock moves only by the waiter's own sleeps, so the looks go on as usual and the
// wait ends exactly at its deadline.
TEST_F(OpenedThroughEvents, ManualClockKeepsTheLooks) {
    ManualClock clock;
    std::uint32_t waiting = 99;
    EXPECT_EQ(driver.waitForReceived(handle, 1, 5 * kMs, clock, waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(clock.nowNs(), 5 * kMs);
    EXPECT_GT(library.queueLooks(), 25u);
}

// A library that refuses the notification is asked once, and its queue is looked at instead.
TEST(D2xxArrivalNotification, RefusedNotificationFallsBackToLooks) {
    EventsLibrary library;
    library.failNotification(FT_NOT_SUPPORTED);
    D2xxDriver driver(EventsLibrary::path());
    FtHandle handle = 0;
    ASSERT_EQ(driver.openEx("ABCDEFGHIJKLMNOP", kOpenBySerialNumber, handle), FT_OK);
    EXPECT_FALSE(driver.notifiesArrivals(handle));
    EXPECT_EQ(library.text(), "FT_OpenEx(ABCDEFGHIJKLMNOP,1);FT_SetEventNotification(h,1);");

    SystemClock clock;
    library.arriveAfter(8, 20);
    std::uint32_t waiting = 0;
    EXPECT_EQ(driver.waitForReceived(handle, 8, clock.nowNs() + kFarDeadlineNs, clock, waiting),
              FT_OK);
    EXPECT_EQ(waiting, 8u);
    EXPECT_GT(library.queueLooks(), 5u);

    library.reset();
    EXPECT_EQ(driver.close(handle), FT_OK);
    EXPECT_EQ(library.text(), "FT_Close(h);") << "nothing to release";
}

}  // namespace
}  // namespace qe
