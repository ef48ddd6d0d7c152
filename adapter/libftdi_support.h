#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ftdi_driver.h"

namespace qe {

// The libftdi1 calls whose results the driver maps; each has its own meaning for a code.
enum class LibFtdiCall {
    Open,          // ftdi_usb_open_dev
    Read,          // ftdi_read_data
    Write,         // ftdi_write_data
    BaudRate,      // ftdi_set_baudrate
    LineProperty,  // ftdi_set_line_property2
    LatencyTimer,  // ftdi_set_latency_timer
    BitMode,       // ftdi_set_bitmode
    Flush,         // ftdi_tciflush, ftdi_tcoflush
    ModemStatus,   // ftdi_poll_modem_status
};

// The driver status for a libftdi1 result: 0 and above is success. A device that has gone
// away gives FT_IO_ERROR, which the connection check takes as the adapter lost. A time-out of
// a transfer is no failure: the read or write then simply moved fewer bytes.
FtStatus statusOfLibFtdi(LibFtdiCall call, int result);

// What the open box adds when ftdi_usb_open_dev failed with `result`: how to get the right
// to the device node when it was refused, or that another program (or a second copy of the
// tool) holds the adapter when its interface could not be claimed; else nothing.
std::string libFtdiOpenAdvice(int result, bool nodeAccessDenied);

// One USB device as libftdi1 lists it.
struct UsbFtdiDevice {
    std::uint8_t bus = 0;
    std::uint8_t address = 0;
    std::vector<std::uint8_t> portPath;  // ports from the root hub
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string description;  // the USB product string
    std::string serial;
    bool stringsFromSysfs = false;  // the device itself could not be opened to ask
    bool heldElsewhere = false;     // another program has it (see usbDeviceHeldElsewhere)
};

// Whether an open by serial number (kOpenBySerialNumber) or description asks for the device,
// comparing the texts as enumeration lists them (cut to the node's arrays).
bool asksFor(const UsbFtdiDevice& device, const std::string& wanted, std::uint32_t flags);

// The device's folder name under /sys/bus/usb/devices: "1-1.4" for bus 1, ports 1 and 4.
std::string usbSysfsName(std::uint8_t bus, const std::vector<std::uint8_t>& portPath);
// The device node libusb opens: "/dev/bus/usb/001/004".
std::string usbDeviceNode(std::uint8_t bus, std::uint8_t address);

}  // namespace qe
