#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qe {

// Where the kernel shows its devices. Empty roots mean the system's own /sys and /dev; tests
// and black-box runs point them at a tree of their own.
struct TtyRoots {
    std::filesystem::path sysfs;
    std::filesystem::path dev;

    // QE7204_SYSFS_ROOT and QE7204_DEV_ROOT, empty when not set.
    static TtyRoots fromEnvironment();
    std::filesystem::path sysfsOrDefault() const { return sysfs.empty() ? "/sys" : sysfs; }
    std::filesystem::path devOrDefault() const { return dev.empty() ? "/dev" : dev; }
};

// A USB serial port of the kernel's usb-serial drivers (ftdi_sio among them), as sysfs shows it.
struct TtyPort {
    std::string name;                    // "ttyUSB0"
    std::filesystem::path node;          // <dev root>/ttyUSB0
    std::filesystem::path latencyTimer;  // the port folder's latency_timer (FTDI ports have one)
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string product;  // the USB product string exactly as the device reports it
    std::string serial;   // the USB serial number; empty when the device has none
};

// A sysfs attribute without the newline the kernel ends it with; nothing when unreadable.
std::optional<std::string> readSysfsAttribute(const std::filesystem::path& path);

// The ttyUSB ports in name order (ttyUSB2 before ttyUSB10). Read from sysfs rather than
// through QSerialPortInfo: where udev runs (Debian 12), Qt Serial Port's description() is
// udev's ID_MODEL, the product string with its blanks turned into '_' ("QE7204_interface"),
// and only without udev sysfs' raw product string; the roots could not be moved either.
// The layout relied on:
// class/tty/ttyUSBn/device links to the port's folder under devices/, which holds
// latency_timer; its parent is the USB interface and its grandparent the USB device, with
// idVendor, idProduct, product and serial. A port whose device folder cannot be read is left out.
std::vector<TtyPort> listTtyPorts(const TtyRoots& roots);

}  // namespace qe
