// The parts of the libftdi1 backend that need no device: status mapping, matching the device
// asked for, the names of its sysfs folder and node, and the receive buffer.
#include <gtest/gtest.h>
#include <libusb.h>

#include <array>
#include <string>

#include "device_access_advice.h"
#include "libftdi_support.h"
#include "receive_buffer.h"

namespace qe::test {
namespace {

TEST(LibFtdiStatus, EachCallsCodesMapToTheDriverStatus) {
    struct Case {
        LibFtdiCall call;
        int result;
        FtStatus status;
    };
    const Case cases[] = {
        {LibFtdiCall::Read, 5, FT_OK},
        {LibFtdiCall::Read, 0, FT_OK},
        // Unplugged: the connection check must see an I/O error.
        {LibFtdiCall::Read, LIBUSB_ERROR_NO_DEVICE, FT_IO_ERROR},
        {LibFtdiCall::Read, LIBUSB_ERROR_IO, FT_IO_ERROR},
        {LibFtdiCall::Read, -666, FT_IO_ERROR},
        {LibFtdiCall::Read, LIBUSB_ERROR_TIMEOUT, FT_OK},
        {LibFtdiCall::Write, LIBUSB_ERROR_TIMEOUT, FT_OK},
        {LibFtdiCall::Write, LIBUSB_ERROR_NO_DEVICE, FT_IO_ERROR},
        {LibFtdiCall::Write, LIBUSB_ERROR_PIPE, FT_IO_ERROR},
        {LibFtdiCall::Open, -4, FT_DEVICE_NOT_OPENED},
        {LibFtdiCall::Open, -5, FT_DEVICE_NOT_OPENED},
        {LibFtdiCall::Open, -11, FT_DEVICE_NOT_OPENED},
        {LibFtdiCall::BaudRate, -1, FT_INVALID_BAUD_RATE},
        {LibFtdiCall::BaudRate, -3, FT_IO_ERROR},
        {LibFtdiCall::LatencyTimer, -1, FT_INVALID_PARAMETER},
        {LibFtdiCall::LatencyTimer, -3, FT_IO_ERROR},
        {LibFtdiCall::LineProperty, -1, FT_IO_ERROR},
        {LibFtdiCall::BitMode, -2, FT_IO_ERROR},
        {LibFtdiCall::Flush, -1, FT_IO_ERROR},
        {LibFtdiCall::ModemStatus, LIBUSB_ERROR_NO_DEVICE, FT_IO_ERROR},
        {LibFtdiCall::ModemStatus, 0, FT_OK},
    };
    for (const Case& c : cases)
        EXPECT_EQ(statusOfLibFtdi(c.call, c.result), c.status)
            << static_cast<int>(c.call) << " " << c.result;
}

TEST(LibFtdiOpenAdvice, NamesTheRefusedNodeOrTheProgramHoldingTheAdapter) {
    struct Case {
        int result;
        bool nodeAccessDenied;
        std::string advice;
    };
    const Case cases[] = {
        {-4, true, usbDevicePermissionAdvice()},
        {-11, true, usbDevicePermissionAdvice()},
        {-4, false, ""},  // refused for another reason than the node's rights
        // The interface is claimed: another program or a second copy of the tool has it.
        {-5, false, adapterInUseAdvice()},
        {-5, true, adapterInUseAdvice()},
        {-6, false, ""},
        {-3, true, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(libFtdiOpenAdvice(c.result, c.nodeAccessDenied), c.advice)
            << c.result << (c.nodeAccessDenied ? " denied" : "");
}

TEST(LibFtdiMatching, OpensTheDeviceAskedForByItsListedTexts) {
    UsbFtdiDevice device;
    device.serial = "QE000001";
    device.description = "QE7204 interface";
    EXPECT_TRUE(asksFor(device, "QE000001", kOpenBySerialNumber));
    EXPECT_FALSE(asksFor(device, "qe000001", kOpenBySerialNumber));
    EXPECT_FALSE(asksFor(device, "QE7204 interface", kOpenBySerialNumber));
    EXPECT_TRUE(asksFor(device, "QE7204 interface", kOpenByDescription));
    EXPECT_FALSE(asksFor(device, "QE7204", kOpenByDescription));
    EXPECT_FALSE(asksFor(device, "QE000001", 3));

    // A serial number longer than the list's 16 bytes is asked for as it was listed.
    device.serial = "ABCDEFGHIJKLMNOPQRS";
    EXPECT_TRUE(asksFor(device, "ABCDEFGHIJKLMNOP", kOpenBySerialNumber));
    EXPECT_FALSE(asksFor(device, "ABCDEFGHIJKLMNOPQRS", kOpenBySerialNumber));
}

TEST(LibFtdiNames, SysfsFolderAndDeviceNode) {
    EXPECT_EQ(usbSysfsName(1, {4}), "1-4");
    EXPECT_EQ(usbSysfsName(3, {1, 4, 2}), "3-1.4.2");
    EXPECT_EQ(usbDeviceNode(1, 4), "/dev/bus/usb/001/004");
    EXPECT_EQ(usbDeviceNode(12, 127), "/dev/bus/usb/012/127");
}

TEST(ReceiveBuffer, HandsOutBytesOldestFirstAcrossArrivals) {
    ReceiveBuffer buffer;
    const std::uint8_t first[] = {1, 2, 3};
    const std::uint8_t second[] = {4, 5};
    buffer.append(first, 3);
    buffer.append(second, 2);
    EXPECT_EQ(buffer.size(), 5u);

    std::array<std::uint8_t, 8> out{};
    EXPECT_EQ(buffer.take(out.data(), 2), 2u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(buffer.take(out.data(), 8), 3u) << "no more than it holds";
    EXPECT_EQ((std::array<std::uint8_t, 3>{out[0], out[1], out[2]}),
              (std::array<std::uint8_t, 3>{3, 4, 5}));
    EXPECT_EQ(buffer.take(out.data(), 1), 0u);

    buffer.append(first, 3);
    buffer.clear();
    EXPECT_EQ(buffer.size(), 0u);
}

}  // namespace
}  // namespace qe::test
