#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "tty_port_list.h"

namespace qe::sim {

// A sysfs and /dev tree of USB serial ports laid out as the kernel lays them out, in a folder
// of its own, for running the kernel-serial backend without the adapter:
//   sys/devices/.../usb1/1-N/{idVendor,idProduct,product,serial}
//   sys/devices/.../usb1/1-N/1-N:1.0/ttyUSBn/latency_timer
//   sys/class/tty/ttyUSBn/device -> the ttyUSBn folder above
//   dev/ttyUSBn -> the terminal given (a pseudo-terminal)
class FakeTtyTree {
public:
    struct Port {
        std::string name;  // "ttyUSB0"
        std::string product = "QE7204 interface";
        std::string serial = "QE000001";
        std::uint16_t vendorId = 0x0403;
        std::uint16_t productId = 0x6001;
        std::filesystem::path terminal;  // what dev/ttyUSBn points to
    };

    // Makes the folder (and sys/class/tty, dev) when missing.
    explicit FakeTtyTree(std::filesystem::path root);

    void addPort(const Port& port);
    void removePort(const std::string& name);

    TtyRoots roots() const { return {root_ / "sys", root_ / "dev"}; }
    std::filesystem::path latencyTimer(const std::string& name) const;
    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path usbDevice(const std::string& name) const;

    std::filesystem::path root_;
};

}  // namespace qe::sim
