#include "libftdi_support.h"

#include <libusb.h>

#include <cstdio>

#include "device_access_advice.h"

namespace qe {

namespace {

// What libftdi1 returns when its context has no open device.
constexpr int kDeviceUnavailable = -666;
// ftdi_usb_open_dev's "unable to open device", "unable to claim device" and
// "libusb_detach_kernel_driver() failed".
constexpr int kOpenFailed = -4;
constexpr int kClaimFailed = -5;
constexpr int kDetachFailed = -11;

bool transferMovedLess(int result) {
    return result == LIBUSB_ERROR_TIMEOUT || result == LIBUSB_ERROR_INTERRUPTED;
}

}  // namespace

FtStatus statusOfLibFtdi(LibFtdiCall call, int result) {
    if (result >= 0) return FT_OK;
    switch (call) {
        case LibFtdiCall::Open:
            return FT_DEVICE_NOT_OPENED;
        case LibFtdiCall::Read:
        case LibFtdiCall::Write:
            if (result == kDeviceUnavailable) return FT_IO_ERROR;
            return transferMovedLess(result) ? FT_OK : FT_IO_ERROR;
        case LibFtdiCall::BaudRate:
            return result == -1 ? FT_INVALID_BAUD_RATE : FT_IO_ERROR;
        case LibFtdiCall::LatencyTimer:
            return result == -1 ? FT_INVALID_PARAMETER : FT_IO_ERROR;
        case LibFtdiCall::LineProperty:
        case LibFtdiCall::BitMode:
        case LibFtdiCall::Flush:
        case LibFtdiCall::ModemStatus:
            return FT_IO_ERROR;
    }
    return FT_OTHER_ERROR;
}

std::string libFtdiOpenAdvice(int result, bool nodeAccessDenied) {
    if ((result == kOpenFailed || result == kDetachFailed) && nodeAccessDenied)
        return usbDevicePermissionAdvice();
    if (result == kClaimFailed) return adapterInUseAdvice();
    return {};
}

bool asksFor(const UsbFtdiDevice& device, const std::string& wanted, std::uint32_t flags) {
    DeviceInfoNode listed;
    listed.setSerialNumber(device.serial);
    listed.setDescription(device.description);
    if (flags == kOpenBySerialNumber) return listed.serialNumber() == wanted;
    if (flags == kOpenByDescription) return listed.description() == wanted;
    return false;
}

std::string usbSysfsName(std::uint8_t bus, const std::vector<std::uint8_t>& portPath) {
    std::string name = std::to_string(bus);
    for (std::size_t i = 0; i < portPath.size(); ++i)
        name += (i == 0 ? "-" : ".") + std::to_string(portPath[i]);
    return name;
}

std::string usbDeviceNode(std::uint8_t bus, std::uint8_t address) {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", unsigned{bus}, unsigned{address});
    return node;
}

}  // namespace qe
