#pragma once

#include <string>

namespace qe {

// The udev rule that gives the logged-in user the adapter; the README tells where it goes.
inline constexpr const char* kUdevRuleName = "60-qe7204.rules";

// What to do when the kernel's serial port of a listed adapter may not be opened.
std::string serialPortPermissionAdvice(const std::string& node);
// What to do when the adapter's USB device may not be opened (libftdi).
std::string usbDevicePermissionAdvice();
// What to do when another program (or a second copy of this tool) holds the adapter.
std::string adapterInUseAdvice();

}  // namespace qe
