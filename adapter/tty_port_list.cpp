#include "tty_port_list.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

namespace qe {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPortPrefix = "ttyUSB";

fs::path environmentPath(const char* name) {
    const char* value = std::getenv(name);
    return value ? fs::path(value) : fs::path();
}

std::optional<std::uint16_t> readHexId(const fs::path& path) {
    const auto text = readSysfsAttribute(path);
    if (!text || text->empty()) return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text->c_str(), &end, 16);
    if (*end != '\0' || value > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// ttyUSB2 before ttyUSB10.
bool portOrder(const TtyPort& a, const TtyPort& b) {
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return a.name < b.name;
}

std::optional<TtyPort> readPort(const fs::directory_entry& classEntry, const TtyRoots& roots) {
    std::error_code error;
    const fs::path portFolder = fs::canonical(classEntry.path() / "device", error);
    if (error) return std::nullopt;
    const fs::path usbDevice = portFolder.parent_path().parent_path();

    TtyPort port;
    port.name = classEntry.path().filename().string();
    port.node = roots.devOrDefault() / port.name;
    port.latencyTimer = portFolder / "latency_timer";
    const auto vendor = readHexId(usbDevice / "idVendor");
    const auto product = readHexId(usbDevice / "idProduct");
    if (!vendor || !product) return std::nullopt;
    port.vendorId = *vendor;
    port.productId = *product;
    // A device without these strings simply has none; that is no reason to hide it.
    port.product = readSysfsAttribute(usbDevice / "product").value_or("");
    port.serial = readSysfsAttribute(usbDevice / "serial").value_or("");
    return port;
}

}  // namespace

std::optional<std::string> readSysfsAttribute(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

TtyRoots TtyRoots::fromEnvironment() {
    return {environmentPath("QE7204_SYSFS_ROOT"), environmentPath("QE7204_DEV_ROOT")};
}

std::vector<TtyPort> listTtyPorts(const TtyRoots& roots) {
    std::vector<TtyPort> ports;
    std::error_code error;
    const fs::path classFolder = roots.sysfsOrDefault() / "class" / "tty";
    for (fs::directory_iterator it(classFolder, error), end; !error && it != end;
         it.increment(error)) {
        const fs::directory_entry& entry = *it;
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kPortPrefix)) continue;
        if (auto port = readPort(entry, roots)) ports.push_back(std::move(*port));
    }
    std::sort(ports.begin(), ports.end(), portOrder);
    return ports;
}

}  // namespace qe
