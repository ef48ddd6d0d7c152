#include "device_access_advice.h"

namespace qe {

std::string serialPortPermissionAdvice(const std::string& node) {
    return "This user may not open " + node + ". Install the udev rule " + kUdevRuleName +
           " (see the README) and plug the adapter in again, or join the group dialout "
           "(sudo adduser $USER dialout) and log in again.";
}

std::string usbDevicePermissionAdvice() {
    return std::string("This user may not open the adapter's USB device. Install the udev rule ") +
           kUdevRuleName + " (see the README) and plug the adapter in again.";
}

std::string adapterInUseAdvice() {
    return "Another program is using the adapter. Close it (or the other copy of this tool) "
           "and try again.";
}

}  // namespace qe
