#include "fake_tty_tree.h"

#include <cstdio>
#include <fstream>

namespace qe::sim {

namespace fs = std::filesystem;

namespace {

const fs::path kUsbBus = fs::path("devices") / "pci0000:00" / "0000:00:14.0" / "usb1";

void writeAttribute(const fs::path& path, const std::string& value) {
    std::ofstream(path, std::ios::binary) << value << '\n';
}

std::string hexId(std::uint16_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", unsigned{id});
    return text;
}

// ttyUSB7 sits on USB device 1-7.
std::string usbDeviceName(const std::string& portName) {
    return "1-" + portName.substr(portName.find_first_of("0123456789"));
}

}  // namespace

FakeTtyTree::FakeTtyTree(fs::path root) : root_(std::move(root)) {
    fs::create_directories(root_ / "sys" / "class" / "tty");
    fs::create_directories(root_ / "dev");
}

fs::path FakeTtyTree::usbDevice(const std::string& name) const {
    return root_ / "sys" / kUsbBus / usbDeviceName(name);
}

fs::path FakeTtyTree::latencyTimer(const std::string& name) const {
    return usbDevice(name) / (usbDeviceName(name) + ":1.0") / name / "latency_timer";
}

void FakeTtyTree::addPort(const Port& port) {
    const fs::path device = usbDevice(port.name);
    const fs::path portFolder = latencyTimer(port.name).parent_path();
    fs::create_directories(portFolder);
    writeAttribute(device / "idVendor", hexId(port.vendorId));
    writeAttribute(device / "idProduct", hexId(port.productId));
    writeAttribute(device / "product", port.product);
    writeAttribute(device / "serial", port.serial);
    writeAttribute(portFolder / "latency_timer", "1");

    // Relative links, as sysfs has them, so the tree can be moved.
    const fs::path classEntry = root_ / "sys" / "class" / "tty" / port.name;
    fs::create_directories(classEntry);
    fs::create_symlink(fs::relative(portFolder, classEntry), classEntry / "device");
    fs::create_symlink(port.terminal, root_ / "dev" / port.name);
}

void FakeTtyTree::removePort(const std::string& name) {
    fs::remove_all(root_ / "sys" / "class" / "tty" / name);
    fs::remove(root_ / "dev" / name);
    fs::remove_all(usbDevice(name));
}

}  // namespace qe::sim
