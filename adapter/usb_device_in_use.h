#pragma once

#include <string>

struct libusb_device;

namespace qe {

// Whether another program holds a USB adapter that libftdi1 lists: its interface claimed
// through libusb (a second copy of this tool, or any libusb program), or, while the kernel's
// serial driver is bound to the interface, its ttyUSB port held (see portHeldElsewhere).
// Found without disturbing the device: libftdi1's own open would detach the kernel's driver
// from under a program using the port, and reset the chip. A device this user may not open
// is not said to be busy. The ttyUSB port is the one with the device's serial number.
bool usbDeviceHeldElsewhere(libusb_device* device, const std::string& serial);

}  // namespace qe
