#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "adapter_link.h"
#include "chip_connection.h"
#include "chip_session.h"
#include "recording_sink.h"
#include "scripted_driver.h"

namespace qe {
namespace {

using test::RecordingSink;
using test::ScriptedDriver;
using Messages = std::vector<std::pair<MessageKind, std::string>>;
using Trace = std::vector<std::string>;

const char* const kAdapter = "QE7204 interface";
constexpr FtHandle kFirstHandle = 0x1000;  // the scripted driver's first handle

// The exchange that ends configuring: adapter parameters 15/0 echoed, then the supply query.
const Trace kConfigureExchange = {"FT_Write 90 2 240", "FT_Read 1", "FT_Write 90 4 0", "FT_Read 1"};

Trace openAndConfigure(const std::string& serial) {
    Trace trace = {
        "FT_OpenEx " + serial + " by 1",   "FT_SetLatencyTimer 16", "FT_SetBitMode 0/0",
        "FT_SetDataCharacteristics 8,2,0", "FT_SetBaudRate 250000", "FT_SetTimeouts 2000/2000"};
    trace.insert(trace.end(), kConfigureExchange.begin(), kConfigureExchange.end());
    return trace;
}

Trace operator+(Trace a, const Trace& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Device {
    std::string serial;
    std::string description;
    FtHandle handle = 0;
};

DeviceInfoNode node(const Device& device) {
    DeviceInfoNode n;
    device.serial.copy(n.SerialNumber, sizeof n.SerialNumber);
    device.description.copy(n.Description, sizeof n.Description);
    n.DeviceHandle = device.handle;
    return n;
}

// One adapter link over a scripted driver, and the connection that remembers the adapter
// in its ini file in a fresh folder.
class Rig {
public:
    Rig() {
        EXPECT_TRUE(dir.isValid());
        link.setLineSettings({250000, 8, 2, 0});
    }

    void attach(const std::vector<Device>& devices) {
        for (const Device& d : devices) driver.devices.push_back(node(d));
    }

    // Replies that an adapter gives while it is configured: the parameter echo, supply on.
    void scriptAdapterReplies() {
        driver.replyToNextWrite({240});
        driver.replyToNextWrite({1});
    }

    void enumerateAndConnect() {
        link.EnumerateDevices();
        driver.calls.clear();
        connection.connectAdapter();
    }

    void writeIni(const std::string& contents) {
        QFile file(iniPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents.data(), static_cast<qint64>(contents.size()));
    }

    // The file's bytes, or nothing when it does not exist.
    std::optional<std::string> iniContents() const {
        QFile file(iniPath);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        return file.readAll().toStdString();
    }

    // Every recorded driver call as a line of text.
    Trace trace() const {
        Trace lines;
        for (const auto& c : driver.calls) {
            const std::string arg = std::to_string(c.arg);
            if (c.name == "FT_OpenEx") {
                lines.push_back(c.name + " " + std::string(c.bytes.begin(), c.bytes.end()) +
                                " by " + arg);
            } else if (c.name == "FT_Write") {
                std::string bytes;
                for (auto b : c.bytes) bytes += " " + std::to_string(b);
                lines.push_back(c.name + bytes);
            } else if (c.name == "FT_SetBitMode") {
                lines.push_back(c.name + " " + std::to_string(c.arg >> 8) + "/" +
                                std::to_string(c.arg & 0xFF));
            } else if (c.name == "FT_SetDataCharacteristics") {
                lines.push_back(c.name + " " + std::to_string(c.arg >> 16) + "," +
                                std::to_string(c.arg >> 8 & 0xFF) + "," +
                                std::to_string(c.arg & 0xFF));
            } else if (c.name == "FT_SetTimeouts") {
                lines.push_back(c.name + " " + arg + "/" +
                                std::to_string(c.bytes[0] << 8 | c.bytes[1]));
            } else {
                lines.push_back(c.name + " " + arg);
            }
        }
        return lines;
    }

    QTemporaryDir dir;
    QString iniPath = dir.filePath(QStringLiteral("qe7204-tool.ini"));
    ManualClock clock;
    ScriptedDriver driver{clock};
    RecordingSink sink;
    RegisterImage image{};
    AdapterLink link{driver, clock, sink, image};
    chip::ChipSession session{link};
    chip::ChipConnection connection{link, session, iniPath.toStdString()};
};

// --- finding and preferring the adapter ------------------------------------------------

struct DiscoveryCase {
    const char* name;
    std::optional<std::string> iniBefore;
    std::vector<Device> devices;
    std::vector<std::string> opened;  // serials passed to FT_OpenEx, in order
    std::string lastOpened;           // LastOpenedSerial afterwards
    std::optional<std::string> iniAfter;
};

const char* const kHandWrittenIni = "; written by hand\r\n[Port Options]\r\nLast Opened = A2\r\n";

const DiscoveryCase kDiscoveryCases[] = {
    {"first run without ini file opens the first free adapter and remembers it",
     std::nullopt,
     {{"FT01", "USB Serial Converter"}, {"A1", kAdapter}, {"A2", kAdapter}},
     {"A1"},
     "A1",
     "[Port Options]\nLast Opened=A1\n"},
    {"the adapter opened last time is preferred though listed second; the file is not rewritten",
     kHandWrittenIni,
     {{"A1", kAdapter}, {"A2", kAdapter}},
     {"A2"},
     "A2",
     kHandWrittenIni},
    {"the adapter opened last time is absent: the first free one opens and is remembered",
     "[Port Options]\nLast Opened=GONE\n",
     {{"A1", kAdapter}, {"A2", kAdapter}},
     {"A1"},
     "A1",
     "[Port Options]\nLast Opened=A1\n"},
    {"the description matches in any letter case and among other words",
     std::nullopt,
     {{"X1", "my qe7204 INTERFACE rev. B"}},
     {"X1"},
     "X1",
     "[Port Options]\nLast Opened=X1\n"},
    {"a device whose description lacks the text is never opened",
     std::nullopt,
     {{"N1", "QE7204 interfac"}, {"N2", "QE7204-interface"}, {"N3", ""}},
     {},
     "",
     std::nullopt},
    {"a serial differing only in letter case is not the one opened last time",
     "[Port Options]\nLast Opened=abc1\n",
     {{"X0", kAdapter}, {"ABC1", kAdapter}},
     {"X0"},
     "X0",
     "[Port Options]\nLast Opened=X0\n"},
    {"a device already open is passed over in both passes",
     "[Port Options]\nLast Opened=B1\n",
     {{"B1", kAdapter, 0x77}, {"B2", kAdapter}},
     {"B2"},
     "B2",
     "[Port Options]\nLast Opened=B2\n"},
    {"without a remembered serial the first pass takes an adapter with an empty serial",
     std::nullopt,
     {{"A1", kAdapter}, {"", kAdapter}},
     {""},
     "",
     std::nullopt},
    {"the serial in the first pass is compared whole",
     "[Port Options]\nLast Opened=A1\n",
     {{"A12", kAdapter}, {"A1", kAdapter}},
     {"A1"},
     "A1",
     "[Port Options]\nLast Opened=A1\n"},
    {"two adapters with the remembered serial: only the first is opened",
     "[Port Options]\nLast Opened=A1\n",
     {{"A1", kAdapter}, {"A1", kAdapter}},
     {"A1"},
     "A1",
     "[Port Options]\nLast Opened=A1\n"},
    {"no devices: nothing opened, no file created", std::nullopt, {}, {}, "", std::nullopt},
};

TEST(Connection, FindsAndPrefersTheAdapter) {
    for (const DiscoveryCase& c : kDiscoveryCases) {
        SCOPED_TRACE(c.name);
        Rig r;
        if (c.iniBefore) r.writeIni(*c.iniBefore);
        r.attach(c.devices);
        r.scriptAdapterReplies();

        r.enumerateAndConnect();

        Trace expected;
        for (const std::string& serial : c.opened) expected = expected + openAndConfigure(serial);
        EXPECT_EQ(r.trace(), expected);
        EXPECT_EQ(r.link.adapterHandle() != 0, !c.opened.empty());
        EXPECT_EQ(r.link.chipPowered(), !c.opened.empty());
        EXPECT_EQ(r.link.lastOpenedSerial(), c.lastOpened);
        EXPECT_EQ(r.iniContents(), c.iniAfter);
        EXPECT_TRUE(r.sink.shown.empty());
    }
}

TEST(Connection, TheAdapterIsTheHandleWrittenIntoItsNode) {
    Rig r;
    r.attach({{"A1", kAdapter}, {"A2", kAdapter}});
    r.scriptAdapterReplies();
    r.enumerateAndConnect();
    EXPECT_EQ(r.link.adapterHandle(), kFirstHandle);
    EXPECT_EQ(r.link.deviceInfoList()[0].DeviceHandle, kFirstHandle);
    EXPECT_EQ(r.link.deviceInfoList()[1].DeviceHandle, 0u);
}

// The serial goes to the driver as a terminated text even when it fills all 16 bytes.
TEST(Connection, FullLengthSerialIsOpenedByItsSixteenBytes) {
    Rig r;
    r.attach({{"0123456789ABCDEF", kAdapter}});
    r.scriptAdapterReplies();
    r.enumerateAndConnect();
    EXPECT_EQ(r.trace(), openAndConfigure("0123456789ABCDEF"));
    EXPECT_EQ(r.iniContents(), "[Port Options]\nLast Opened=0123456789ABCDEF\n");
}

// --- failures while opening and configuring ----------------------------------------------

struct FailureCase {
    const char* name;
    const char* failingCall;
    FtStatus status;
    Messages messages;
    Trace trace;
    bool adapterOpen;
    std::optional<std::string> iniAfter;
};

const std::string kRemembered = "[Port Options]\nLast Opened=A1\n";

TEST(Connection, DriverFailuresWhileOpeningAndConfiguring) {
    const FailureCase cases[] = {
        {"open fails",
         "FT_OpenEx",
         FT_DEVICE_NOT_FOUND,
         {{MessageKind::Critical, "Open_USB_Device_By_Serial_Number - Device not found..."},
          {MessageKind::Plain, "Port can not be opened"}},
         {"FT_OpenEx A1 by 1"},
         false,
         std::nullopt},
        {"latency timer fails: the box, and the adapter still opens",
         "FT_SetLatencyTimer",
         FT_IO_ERROR,
         {{MessageKind::Critical, "FT_SetLatencyTimer  - General IO error..."}},
         openAndConfigure("A1"),
         true,
         kRemembered},
        {"bit mode fails: the device is closed again and not made the adapter",
         "FT_SetBitMode",
         FT_IO_ERROR,
         {{MessageKind::Critical, "FT_SetBitMode  - General IO error..."},
          {MessageKind::Plain, "Port can not be opened"}},
         {"FT_OpenEx A1 by 1", "FT_SetLatencyTimer 16", "FT_SetBitMode 0/0", "FT_Close 4096"},
         false,
         std::nullopt},
        // A port left at another format or speed would garble every exchange: a line that
        // cannot be set is a failed open, with its one box.
        {"line settings fail: the device is closed again and not made the adapter",
         "FT_SetDataCharacteristics",
         FT_INVALID_PARAMETER,
         {{MessageKind::Critical, "FT_SetDataCharacteristics - Invalid parameter..."}},
         {"FT_OpenEx A1 by 1", "FT_SetLatencyTimer 16", "FT_SetBitMode 0/0",
          "FT_SetDataCharacteristics 8,2,0", "FT_Close 4096"},
         false,
         std::nullopt},
        {"baud rate fails: the device is closed again and not made the adapter",
         "FT_SetBaudRate",
         FT_INVALID_BAUD_RATE,
         {{MessageKind::Critical, "FT_SetBaudRate - Invalid baud rate..."}},
         {"FT_OpenEx A1 by 1", "FT_SetLatencyTimer 16", "FT_SetBitMode 0/0",
          "FT_SetDataCharacteristics 8,2,0", "FT_SetBaudRate 250000", "FT_Close 4096"},
         false,
         std::nullopt},
        {"time-outs fail: configuring goes on",
         "FT_SetTimeouts",
         FT_INVALID_HANDLE,
         {{MessageKind::Critical, "FT_SetTimeouts - Invalid handle..."}},
         openAndConfigure("A1"),
         true,
         kRemembered},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.attach({{"A1", kAdapter}});
        r.driver.failCall(c.failingCall, c.status);
        r.scriptAdapterReplies();

        r.enumerateAndConnect();

        EXPECT_EQ(r.sink.shown, c.messages);
        EXPECT_EQ(r.trace(), c.trace);
        EXPECT_EQ(r.link.adapterHandle() != 0, c.adapterOpen);
        EXPECT_EQ(r.link.deviceInfoList()[0].DeviceHandle != 0, c.adapterOpen);
        EXPECT_EQ(r.iniContents(), c.iniAfter);
    }
}

TEST(Connection, BaudRateFailureLeavesTheSupplyStateAlone) {
    Rig r;
    r.attach({{"A1", kAdapter}});
    r.driver.failCall("FT_SetBaudRate", FT_INVALID_BAUD_RATE);
    r.enumerateAndConnect();
    EXPECT_EQ(r.link.adapterHandle(), 0u);
    EXPECT_FALSE(r.link.chipPowered());
    EXPECT_TRUE(r.driver.frames().empty());
}

TEST(Connection, FailedOpenOfTheRememberedAdapterFallsBackToAnother) {
    Rig r;
    r.writeIni("[Port Options]\nLast Opened=A2\n");
    r.attach({{"A1", kAdapter}, {"A2", kAdapter}});
    r.driver.openFailures["A2"] = FT_DEVICE_NOT_OPENED;
    r.scriptAdapterReplies();
    r.enumerateAndConnect();

    const Messages expected = {
        {MessageKind::Critical, "Open_USB_Device_By_Serial_Number - Device not opened..."},
        {MessageKind::Plain, "Port can not be opened"}};
    EXPECT_EQ(r.sink.shown, expected);
    EXPECT_EQ(r.trace(), Trace{"FT_OpenEx A2 by 1"} + openAndConfigure("A1"));
    EXPECT_EQ(r.link.lastOpenedSerial(), "A1");
    EXPECT_EQ(r.iniContents(), "[Port Options]\nLast Opened=A1\n");
}

// --- a device that keeps failing to open ----------------------------------------------------

struct FailingDeviceCase {
    const char* name;
    void (*breakDevice)(ScriptedDriver&);
    void (*mendDevice)(ScriptedDriver&);
    Messages boxesOnFailure;  // with the device's first failure
    Messages boxesOnOpening;  // when it opens at last
};

const FailingDeviceCase kFailingDevices[] = {
    {"open fails",
     [](ScriptedDriver& d) { d.openFailures["A1"] = FT_DEVICE_NOT_OPENED; },
     [](ScriptedDriver& d) { d.openFailures.clear(); },
     {{MessageKind::Critical, "Open_USB_Device_By_Serial_Number - Device not opened..."},
      {MessageKind::Plain, "Port can not be opened"}},
     {}},
    {"bit mode fails",
     [](ScriptedDriver& d) { d.failCall("FT_SetBitMode", FT_IO_ERROR); },
     [](ScriptedDriver& d) { d.failCall("FT_SetBitMode", FT_OK); },
     {{MessageKind::Critical, "FT_SetBitMode  - General IO error..."},
      {MessageKind::Plain, "Port can not be opened"}},
     {}},
    {"latency timer and bit mode fail, then only the latency timer",
     [](ScriptedDriver& d) {
         d.failCall("FT_SetLatencyTimer", FT_INVALID_HANDLE);
         d.failCall("FT_SetBitMode", FT_IO_ERROR);
     },
     [](ScriptedDriver& d) { d.failCall("FT_SetBitMode", FT_OK); },
     {{MessageKind::Critical, "FT_SetLatencyTimer  - Invalid handle..."},
      {MessageKind::Critical, "FT_SetBitMode  - General IO error..."},
      {MessageKind::Plain, "Port can not be opened"}},
     {{MessageKind::Critical, "FT_SetLatencyTimer  - Invalid handle..."}}},
    {"baud rate fails",
     [](ScriptedDriver& d) { d.failCall("FT_SetBaudRate", FT_INVALID_BAUD_RATE); },
     [](ScriptedDriver& d) { d.failCall("FT_SetBaudRate", FT_OK); },
     {{MessageKind::Critical, "FT_SetBaudRate - Invalid baud rate..."}},
     {}},
    {"line format fails",
     [](ScriptedDriver& d) { d.failCall("FT_SetDataCharacteristics", FT_IO_ERROR); },
     [](ScriptedDriver& d) { d.failCall("FT_SetDataCharacteristics", FT_OK); },
     {{MessageKind::Critical, "FT_SetDataCharacteristics - General IO error..."}},
     {}},
};

// The poll cycle tries to connect on every tick while no adapter is open. A device that keeps
// failing is tried each time, but its boxes come only with its first failure, again once it
// has been unplugged and comes back, and again after it has once been opened.
TEST(Connection, FailingDeviceIsToldOnceWhileItStaysListed) {
    for (const FailingDeviceCase& c : kFailingDevices) {
        for (const bool remembered : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (remembered ? ", remembered" : ", new"));
            Rig r;
            if (remembered) r.writeIni(kRemembered);
            r.attach({{"A1", kAdapter}});
            c.breakDevice(r.driver);
            const auto tick = [&r] {
                r.driver.calls.clear();
                r.sink.clear();
                r.connection.connectAdapter();
            };
            // The scripted driver keeps listing a closed device as open; the vendor's lists it
            // free.
            const auto relist = [&r] {
                r.driver.devices.clear();
                r.attach({{"A1", kAdapter}});
                r.link.EnumerateDevices();
            };

            r.link.EnumerateDevices();
            tick();
            EXPECT_EQ(r.sink.shown, c.boxesOnFailure);
            EXPECT_EQ(r.driver.count("FT_OpenEx"), 1)
                << "failed in the first pass, not tried in the second";
            EXPECT_EQ(r.link.adapterHandle(), 0u);
            const std::vector<std::string> attempt = r.driver.callNames();

            for (int i = 0; i < 2; ++i) {
                SCOPED_TRACE(testing::Message() << "retry " << i);
                if (i == 1) relist();
                tick();
                EXPECT_EQ(r.driver.callNames(), attempt);
                EXPECT_TRUE(r.sink.shown.empty());
                EXPECT_EQ(r.link.adapterHandle(), 0u);
            }

            r.driver.devices.clear();
            r.link.EnumerateDevices();
            tick();
            EXPECT_TRUE(r.driver.calls.empty());
            EXPECT_TRUE(r.sink.shown.empty());

            relist();
            tick();
            EXPECT_EQ(r.driver.callNames(), attempt) << "unplugged and back";
            EXPECT_EQ(r.sink.shown, c.boxesOnFailure) << "unplugged and back";

            c.mendDevice(r.driver);
            r.scriptAdapterReplies();
            tick();
            EXPECT_EQ(r.trace(), openAndConfigure("A1"));
            EXPECT_EQ(r.sink.shown, c.boxesOnOpening);
            EXPECT_NE(r.link.adapterHandle(), 0u);
            EXPECT_TRUE(r.link.chipPowered());
            EXPECT_EQ(r.iniContents(), kRemembered);

            r.link.CloseAdapter();
            c.breakDevice(r.driver);
            relist();
            tick();
            EXPECT_EQ(r.sink.shown, c.boxesOnFailure) << "failing again after it was opened";
        }
    }
}

TEST(Connection, OpenAdapterResult) {
    Rig r;
    r.attach({{"A1", kAdapter}});
    r.link.EnumerateDevices();
    r.driver.calls.clear();
    constexpr std::size_t kLast = std::numeric_limits<std::size_t>::max();
    for (const std::size_t outside : {std::size_t{1}, std::size_t{1000}, kLast}) {
        EXPECT_FALSE(r.link.OpenAdapter(outside));
        EXPECT_TRUE(r.driver.calls.empty());
        EXPECT_TRUE(r.sink.shown.empty());
    }

    EXPECT_TRUE(r.link.OpenAdapter(0));
    EXPECT_EQ(r.link.adapterHandle(), kFirstHandle);
    r.link.CloseAdapter();

    r.driver.failCall("FT_SetBitMode", FT_IO_ERROR);
    EXPECT_FALSE(r.link.OpenAdapter(0));
    EXPECT_EQ(r.link.adapterHandle(), 0u);
    EXPECT_EQ(r.link.deviceInfoList()[0].DeviceHandle, 0u);
}

// --- enumeration -----------------------------------------------------------------------------

TEST(Connection, EnumerationCopiesTheDriversList) {
    Rig r;
    r.attach({{"A1", kAdapter}, {"FT9", "Other", 0x55}});
    r.link.EnumerateDevices();
    EXPECT_EQ(r.trace(), (Trace{"FT_CreateDeviceInfoList 0", "FT_GetDeviceInfoList 2"}));
    ASSERT_EQ(r.link.deviceCount(), 2u);
    ASSERT_EQ(r.link.deviceInfoList().size(), 2u);
    EXPECT_EQ(r.link.deviceInfoList()[0].serialNumber(), "A1");
    EXPECT_EQ(r.link.deviceInfoList()[1].description(), "Other");
    EXPECT_EQ(r.link.deviceInfoList()[1].DeviceHandle, 0x55u);
    EXPECT_TRUE(r.sink.shown.empty());
}

TEST(Connection, WithoutTheLibraryThereAreNoDevicesAndNoMessage) {
    Rig r;
    r.attach({{"A1", kAdapter}});
    r.driver.libraryPresent = false;
    r.link.EnumerateDevices();
    r.connection.connectAdapter();
    EXPECT_TRUE(r.driver.calls.empty());
    EXPECT_TRUE(r.sink.shown.empty());
    EXPECT_EQ(r.link.deviceCount(), 0u);
    EXPECT_TRUE(r.link.deviceInfoList().empty());
    EXPECT_EQ(r.link.adapterHandle(), 0u);
    EXPECT_EQ(r.iniContents(), std::nullopt);
}

struct EnumerationFailure {
    const char* call;
    FtStatus status;
    Messages messages;
};

TEST(Connection, EnumerationFailures) {
    const EnumerationFailure cases[] = {
        {"FT_CreateDeviceInfoList",
         FT_IO_ERROR,
         {{MessageKind::Critical, "FT_CreateDeviceInfoList - General IO error..."}}},
        // The status of a library without the entry point: never a box.
        {"FT_CreateDeviceInfoList", FT_DEVICE_NOT_OPENED_FOR_WRITE, {}},
        {"FT_GetDeviceInfoList",
         FT_INSUFFICIENT_RESOURCES,
         {{MessageKind::Critical, "FT_GetDeviceInfoList - Insufficient resources..."}}},
        {"FT_GetDeviceInfoList", FT_OTHER_ERROR, {{MessageKind::Critical, "FT_GetDeviceInfoList"}}},
    };
    for (const EnumerationFailure& c : cases) {
        SCOPED_TRACE(testing::Message() << c.call << " " << c.status);
        Rig r;
        r.attach({{"A1", kAdapter}});
        r.link.EnumerateDevices();
        r.driver.devices.clear();
        r.driver.failCall(c.call, c.status);

        r.link.EnumerateDevices();

        EXPECT_EQ(r.sink.shown, c.messages);
        if (std::string(c.call) == "FT_CreateDeviceInfoList") {
            // Nothing new to go by: the list stays as it was.
            ASSERT_EQ(r.link.deviceInfoList().size(), 1u);
            EXPECT_EQ(r.link.deviceInfoList()[0].serialNumber(), "A1");
            EXPECT_EQ(r.link.deviceCount(), 1u);
        }
    }
}

// Enumeration runs on every tick while no adapter is open: a failure that lasts is told
// once, until an enumeration succeeds or the failure changes.
TEST(Connection, LastingEnumerationFailureIsToldOnce) {
    const auto box = [](const std::string& text) {
        return Messages{{MessageKind::Critical, text}};
    };
    Rig r;
    const auto enumerate = [&r](int times) {
        r.sink.clear();
        for (int i = 0; i < times; ++i) r.link.EnumerateDevices();
        return r.sink.shown;
    };

    r.driver.failCall("FT_GetDeviceInfoList", FT_IO_ERROR);
    EXPECT_EQ(enumerate(5), box("FT_GetDeviceInfoList - General IO error..."));
    r.driver.failCall("FT_GetDeviceInfoList", FT_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(enumerate(5), box("FT_GetDeviceInfoList - Insufficient resources..."))
        << "another status is news";
    r.driver.failCall("FT_CreateDeviceInfoList", FT_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(enumerate(5), box("FT_CreateDeviceInfoList - Insufficient resources..."))
        << "another call is news";
    r.driver.failCall("FT_CreateDeviceInfoList", FT_OK);
    EXPECT_EQ(enumerate(1), box("FT_GetDeviceInfoList - Insufficient resources..."));

    r.driver.failCall("FT_GetDeviceInfoList", FT_OK);
    EXPECT_TRUE(enumerate(3).empty());
    r.driver.failCall("FT_GetDeviceInfoList", FT_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(enumerate(3), box("FT_GetDeviceInfoList - Insufficient resources..."))
        << "after a success the same failure is news again";
}

// With nothing attached the driver is still handed a list to fill: a library that refuses
// a null list would otherwise fail every enumeration.
TEST(Connection, NothingAttachedIsListedWithoutAnError) {
    Rig r;
    for (int tick = 0; tick < 3; ++tick) {
        r.link.EnumerateDevices();
        r.connection.connectAdapter();
    }
    EXPECT_TRUE(r.sink.shown.empty());
    EXPECT_EQ(r.link.deviceCount(), 0u);
    EXPECT_TRUE(r.link.deviceInfoList().empty());

    r.attach({{"A1", kAdapter}});
    r.link.EnumerateDevices();
    r.driver.devices.clear();
    r.link.EnumerateDevices();
    EXPECT_TRUE(r.sink.shown.empty());
    EXPECT_TRUE(r.link.deviceInfoList().empty()) << "an unplugged adapter leaves the list";
}

// --- loss and close ------------------------------------------------------------------------

TEST(Connection, CheckConnectionWhileTheAdapterAnswers) {
    Rig r;
    EXPECT_FALSE(r.link.CheckConnection());
    EXPECT_TRUE(r.driver.calls.empty());

    r.attach({{"A1", kAdapter}});
    r.scriptAdapterReplies();
    r.enumerateAndConnect();
    r.driver.calls.clear();
    EXPECT_TRUE(r.link.CheckConnection());
    EXPECT_EQ(r.trace(), Trace{"FT_Read 0"});
    EXPECT_EQ(r.link.adapterHandle(), kFirstHandle);
}

TEST(Connection, LostAdapterIsClosedSilentlyAndCommandsFailAtOnce) {
    Rig r;
    r.attach({{"A1", kAdapter}});
    r.scriptAdapterReplies();
    r.enumerateAndConnect();
    ASSERT_EQ(r.link.adapterHandle(), kFirstHandle);
    r.driver.calls.clear();
    r.driver.failCall("FT_Read", FT_IO_ERROR);
    r.driver.failCall("FT_Close", FT_INVALID_HANDLE);

    EXPECT_FALSE(r.link.CheckConnection());

    EXPECT_EQ(r.trace(), (Trace{"FT_Read 0", "FT_Close 4096"}));
    EXPECT_TRUE(r.sink.shown.empty());
    EXPECT_EQ(r.link.adapterHandle(), 0u);
    EXPECT_EQ(r.link.deviceInfoList()[0].DeviceHandle, 0u);

    r.driver.calls.clear();
    EXPECT_FALSE(r.link.CheckConnection());
    EXPECT_FALSE(r.link.WriteRegister(0, 48, 0x1234));
    EXPECT_FALSE(r.link.ReadRegister(0, 48));
    EXPECT_FALSE(r.link.ReadAllRegisters(0));
    EXPECT_FALSE(r.link.ReadOutputRegisters(0));
    EXPECT_FALSE(r.link.ScanBus());
    EXPECT_FALSE(r.link.QueryPower());
    EXPECT_FALSE(r.link.SetAdapterParameters(15, 0));
    r.link.PowerOn();
    r.link.CloseAdapter();
    EXPECT_TRUE(r.driver.calls.empty());
    EXPECT_TRUE(r.sink.shown.empty());

    // Back again: the device counts as free once more and is opened anew.
    r.driver.failCall("FT_Read", FT_OK);
    r.driver.failCall("FT_Close", FT_OK);
    r.scriptAdapterReplies();
    r.connection.connectAdapter();
    EXPECT_EQ(r.trace(), openAndConfigure("A1"));
    EXPECT_EQ(r.link.adapterHandle(), kFirstHandle + 1);
}

TEST(Connection, CloseAdapter) {
    Rig r;
    r.link.CloseAdapter();
    EXPECT_TRUE(r.driver.calls.empty());

    r.attach({{"A1", kAdapter}});
    r.scriptAdapterReplies();
    r.enumerateAndConnect();
    r.driver.calls.clear();
    r.link.CloseAdapter();
    EXPECT_EQ(r.trace(), Trace{"FT_Close 4096"});
    EXPECT_TRUE(r.sink.shown.empty());
    EXPECT_EQ(r.link.adapterHandle(), 0u);

    r.scriptAdapterReplies();
    r.connection.connectAdapter();
    r.driver.calls.clear();
    r.driver.failCall("FT_Close", FT_INVALID_HANDLE);
    r.link.CloseAdapter();
    EXPECT_EQ(r.trace(), Trace{"FT_Close 4097"});
    EXPECT_EQ(r.sink.shown, (Messages{{MessageKind::Critical, "FT_Close - Invalid handle..."}}));
    EXPECT_EQ(r.link.adapterHandle(), 0u);
}

// --- start-up and shutdown -------------------------------------------------------------------

// Start-up connects and switches the supply on, and forgets any chip known before; shutdown
// switches the supply off before it closes the adapter. Without an adapter neither says a word.
TEST(Connection, StartUpAndShutDown) {
    for (const bool attached : {true, false}) {
        SCOPED_TRACE(attached ? "adapter attached" : "no adapter");
        Rig r;
        if (attached) r.attach({{"A1", kAdapter}});
        r.scriptAdapterReplies();
        r.driver.replyToNextWrite({});  // the supply switched on
        r.driver.replyToNextWrite({1});
        r.session.setChipAddress(9);
        r.image.fill(0xBEEF);

        r.connection.startUp();

        Trace expected{"FT_CreateDeviceInfoList 0",
                       "FT_GetDeviceInfoList " + std::to_string(attached ? 1 : 0)};
        if (attached)
            expected = expected + openAndConfigure("A1") +
                       Trace{"FT_Write 90 3 255", "FT_Write 90 4 0", "FT_Read 1"};
        EXPECT_EQ(r.trace(), expected);
        EXPECT_EQ(r.connection.adapterOpen(), attached);
        EXPECT_EQ(r.connection.chipPowered(), attached);
        EXPECT_EQ(r.session.chipAddress(), 0);
        EXPECT_EQ(r.image, RegisterImage{});
        EXPECT_TRUE(r.connection.chipsFound().empty());
        EXPECT_TRUE(r.sink.shown.empty());

        r.driver.calls.clear();
        r.driver.replyToNextWrite({});  // the supply switched off
        r.driver.replyToNextWrite({0});

        r.connection.shutDown();

        const Trace offAndClosed{"FT_Write 90 3 0", "FT_Write 90 4 0", "FT_Read 1",
                                 "FT_Close 4096"};
        EXPECT_EQ(r.trace(), attached ? offAndClosed : Trace{});
        EXPECT_FALSE(r.connection.adapterOpen());
        EXPECT_FALSE(r.connection.chipPowered());
        EXPECT_TRUE(r.sink.shown.empty());
    }
}

// --- the supply state read while connecting ---------------------------------------------------

struct SupplyCase {
    const char* name;
    std::vector<std::uint8_t> reply;
    std::int64_t afterMs;
    bool powered;
};

TEST(Connection, ChipPoweredComesFromTheSupplyQuery) {
    const SupplyCase cases[] = {
        {"on", {1}, 0, true},
        {"off", {0}, 0, false},
        {"a reply after 25 ms counts as off", {1}, 25, false},
    };
    for (const SupplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.attach({{"A1", kAdapter}});
        r.driver.replyToNextWrite({240});
        r.driver.replyToNextWrite(c.reply, c.afterMs);
        r.link.setChipPowered(!c.powered);
        r.enumerateAndConnect();
        EXPECT_NE(r.link.adapterHandle(), 0u);
        EXPECT_EQ(r.link.chipPowered(), c.powered);
    }
}

}  // namespace
}  // namespace qe
