#include "usb_device_in_use.h"

#include <libusb.h>

#include "port_in_use.h"
#include "tty_port_list.h"

namespace qe {

namespace {

// The FT232R's one interface.
constexpr int kInterface = 0;

// The ttyUSB port the kernel's serial driver made of the device, found by its serial number,
// held by a program. Without a serial number the port cannot be told; nothing is claimed.
bool serialPortHeld(const std::string& serial) {
    if (serial.empty()) return false;
    for (const TtyPort& port : listTtyPorts(TtyRoots::fromEnvironment()))
        if (port.serial == serial && portHeldElsewhere(port.node)) return true;
    return false;
}

}  // namespace

bool usbDeviceHeldElsewhere(libusb_device* device, const std::string& serial) {
    libusb_device_handle* handle = nullptr;
    if (libusb_open(device, &handle) != 0) return false;
    bool held = false;
    if (libusb_kernel_driver_active(handle, kInterface) == 1) {
        held = serialPortHeld(serial);
    } else {
        // A claim that succeeds is given back at once; the device notices nothing.
        const int claimed = libusb_claim_interface(handle, kInterface);
        if (claimed == 0) libusb_release_interface(handle, kInterface);
        held = claimed == LIBUSB_ERROR_BUSY;
    }
    libusb_close(handle);
    return held;
}

}  // namespace qe
