#include "usb_device_in_use.h"

#include <libusb.h>

#include <filesystem>
#include <system_error>

#include "port_in_use.h"

namespace qe {

namespace {

// The FT232R's one interface.
constexpr int kInterface = 0;

// The ttyUSB port the kernel's serial driver made of the interface, held by a program.
bool serialPortHeld(const std::string& sysfsName) {
    namespace fs = std::filesystem;
    const fs::path interface = fs::path("/sys/bus/usb/devices") / (sysfsName + ":1.0");
    std::error_code error;
    for (fs::directory_iterator it(interface, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with("ttyUSB") && portHeldElsewhere(fs::path("/dev") / name)) return true;
    }
    return false;
}

}  // namespace

bool usbDeviceHeldElsewhere(libusb_device* device, const std::string& sysfsName) {
    libusb_device_handle* handle = nullptr;
    if (libusb_open(device, &handle) != 0) return false;
    bool held = false;
    if (libusb_kernel_driver_active(handle, kInterface) == 1) {
        held = serialPortHeld(sysfsName);
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
