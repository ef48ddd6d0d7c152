#include "libftdi_driver.h"

#include <ftdi.h>
#include <libusb.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include <QString>

#include "libftdi_port.h"
#include "log_categories.h"
#include "tty_port_list.h"
#include "usb_device_in_use.h"

namespace qe {

namespace {

// Any vendor and product: libftdi1 then looks for the FTDI chips' own ids.
constexpr int kDefaultFtdiIds = 0;
// ftdi_usb_get_strings2's "unable to open device".
constexpr int kStringsOpenFailed = -4;

// The devices ftdi_usb_find_all found, freed with the list.
class FoundDevices {
public:
    explicit FoundDevices(ftdi_context* context)
        : result_(ftdi_usb_find_all(context, &list_, kDefaultFtdiIds, kDefaultFtdiIds)) {}
    ~FoundDevices() { ftdi_list_free(&list_); }
    FoundDevices(const FoundDevices&) = delete;
    FoundDevices& operator=(const FoundDevices&) = delete;

    bool failed() const { return result_ < 0; }
    std::vector<libusb_device*> devices() const {
        std::vector<libusb_device*> devices;
        for (ftdi_device_list* entry = list_; entry; entry = entry->next)
            devices.push_back(entry->dev);
        return devices;
    }

private:
    ftdi_device_list* list_ = nullptr;
    int result_;
};

UsbFtdiDevice describe(ftdi_context* context, libusb_device* usb) {
    UsbFtdiDevice device;
    device.bus = libusb_get_bus_number(usb);
    device.address = libusb_get_device_address(usb);
    std::uint8_t ports[8] = {};
    const int depth = libusb_get_port_numbers(usb, ports, sizeof ports);
    if (depth > 0) device.portPath.assign(ports, ports + depth);
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(usb, &descriptor) == 0) {
        device.vendorId = descriptor.idVendor;
        device.productId = descriptor.idProduct;
    }

    char description[128] = {};
    char serial[128] = {};
    const int strings = ftdi_usb_get_strings2(context, usb, nullptr, 0, description,
                                              sizeof description, serial, sizeof serial);
    if (strings == 0) {
        device.description = description;
        device.serial = serial;
        return device;
    }
    // The device could not be asked (often: no permission yet); the kernel keeps its strings
    // readable for everyone, so the adapter is still listed and its open can say what to do.
    const std::string folder = "/sys/bus/usb/devices/" + usbSysfsName(device.bus, device.portPath);
    device.description = readSysfsAttribute(folder + "/product").value_or(description);
    device.serial = readSysfsAttribute(folder + "/serial").value_or(serial);
    device.stringsFromSysfs = strings == kStringsOpenFailed;
    return device;
}

// "QE000001 (/dev/bus/usb/001/007)", as the log names a device.
QString named(const UsbFtdiDevice& device) {
    return QString::fromStdString(device.serial + " (" + usbDeviceNode(device.bus, device.address) +
                                  ")");
}

bool sameDevice(const UsbFtdiDevice& a, const UsbFtdiDevice& b) {
    return a.bus == b.bus && a.address == b.address;
}

std::optional<ftdi_bits_type> bitsOf(std::uint8_t wordLength) {
    if (wordLength == 7) return BITS_7;
    if (wordLength == 8) return BITS_8;
    return std::nullopt;
}

// D2XX's values for stop bits (0 one, 2 two) and parity (0 none .. 4 space) are libftdi1's.
std::optional<ftdi_stopbits_type> stopBitsOf(std::uint8_t stopBits) {
    if (stopBits == 0) return STOP_BIT_1;
    if (stopBits == 2) return STOP_BIT_2;
    return std::nullopt;
}

std::optional<ftdi_parity_type> parityOf(std::uint8_t parity) {
    if (parity > SPACE) return std::nullopt;
    return static_cast<ftdi_parity_type>(parity);
}

}  // namespace

void LibFtdiDriver::ContextDeleter::operator()(ftdi_context* context) const {
    ftdi_free(context);
}

struct LibFtdiDriver::OpenDevice {
    UsbFtdiDevice device;
    Context context;
    LibFtdiPort port;
    bool lossLogged = false;

    OpenDevice(UsbFtdiDevice usb, ftdi_context* opened)
        : device(std::move(usb)), context(opened), port(opened, LibFtdiFunctions::library()) {
        port.setTimeouts(0, 0);
    }

    ~OpenDevice() {
        // Gives the kernel's serial driver the device back (see openEx).
        if (context) ftdi_usb_close(context.get());
    }
};

LibFtdiDriver::LibFtdiDriver() : context_(ftdi_new()) {}

LibFtdiDriver::~LibFtdiDriver() = default;

LibFtdiDriver::OpenDevice* LibFtdiDriver::deviceOf(FtHandle handle) const {
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

FtHandle LibFtdiDriver::handleOf(const UsbFtdiDevice& device) const {
    for (const auto& [handle, open] : open_)
        if (sameDevice(open->device, device)) return handle;
    return 0;
}

FtStatus LibFtdiDriver::createDeviceInfoList(std::uint32_t& deviceCount) {
    if (!context_) return FT_DEVICE_NOT_OPENED_FOR_WRITE;
    const FoundDevices found(context_.get());
    if (found.failed()) return FT_IO_ERROR;
    listed_.clear();
    for (libusb_device* usb : found.devices()) {
        UsbFtdiDevice device = describe(context_.get(), usb);
        // Our own open device is ours; asking would only find our own claim.
        if (handleOf(device) == 0)
            device.heldElsewhere = usbDeviceHeldElsewhere(usb, device.serial);
        listed_.push_back(std::move(device));
    }
    deviceCount = static_cast<std::uint32_t>(listed_.size());
    return FT_OK;
}

FtStatus LibFtdiDriver::getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) {
    const std::size_t count = std::min<std::size_t>(deviceCount, listed_.size());
    for (std::size_t i = 0; i < count; ++i) {
        const UsbFtdiDevice& device = listed_[i];
        DeviceInfoNode& node = nodes[i];
        node = DeviceInfoNode{};
        node.DeviceHandle = handleOf(device);
        // Opened, as D2XX lists it: by this driver, or by any other program.
        node.Flags = node.DeviceHandle != 0 || device.heldElsewhere ? 1 : 0;
        node.ID = static_cast<std::uint32_t>(device.vendorId) << 16 | device.productId;
        node.LocID = static_cast<std::uint32_t>(device.bus) << 8 | device.address;
        node.setSerialNumber(device.serial);
        node.setDescription(device.description);
    }
    deviceCount = static_cast<std::uint32_t>(count);
    return FT_OK;
}

FtStatus LibFtdiDriver::openEx(const void* arg, std::uint32_t flags, FtHandle& handle) {
    openFailureAdvice_.clear();
    if (!arg || (flags != kOpenBySerialNumber && flags != kOpenByDescription))
        return FT_INVALID_PARAMETER;
    if (!context_) return FT_DEVICE_NOT_FOUND;
    const std::string wanted(static_cast<const char*>(arg));

    const FoundDevices found(context_.get());
    for (libusb_device* usb : found.devices()) {
        UsbFtdiDevice device = describe(context_.get(), usb);
        if (!asksFor(device, wanted, flags) || handleOf(device) != 0) continue;

        ftdi_context* context = ftdi_new();
        if (!context) return FT_INSUFFICIENT_RESOURCES;
        // libftdi1 1.5 has no call for this setting: ftdi_sio is detached for our use and
        // attached again by ftdi_usb_close, so /dev/ttyUSBn comes back afterwards.
        context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
        const int result = ftdi_usb_open_dev(context, usb);
        if (result < 0) {
            qCDebug(lcLibFtdi).noquote() << "cannot open" << named(device) << "-"
                                         << ftdi_get_error_string(context) << result;
            ftdi_free(context);
            const std::string node = usbDeviceNode(device.bus, device.address);
            const bool denied = ::access(node.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
            openFailureAdvice_ = libFtdiOpenAdvice(result, denied);
            return statusOfLibFtdi(LibFtdiCall::Open, result);
        }
        qCDebug(lcLibFtdi).noquote() << "opened" << named(device);
        handle = nextHandle_++;
        open_[handle] = std::make_unique<OpenDevice>(device, context);
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

FtStatus LibFtdiDriver::close(FtHandle handle) {
    const auto it = open_.find(handle);
    if (it == open_.end()) return FT_INVALID_HANDLE;
    // The interface of an unplugged device cannot be released, but our hold on it ends all
    // the same: nothing for the user to know.
    ftdi_usb_close(it->second->context.get());
    it->second->context.reset();
    qCDebug(lcLibFtdi).noquote() << "closed" << named(it->second->device);
    open_.erase(it);
    return FT_OK;
}

FtStatus LibFtdiDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    OpenDevice* open = deviceOf(handle);
    if (!open) return FT_INVALID_HANDLE;
    const int result = ftdi_set_latency_timer(open->context.get(), milliseconds);
    if (result < 0)
        qCDebug(lcLibFtdi).noquote()
            << "cannot set the latency timer of" << named(open->device) << "to" << milliseconds
            << "ms -" << ftdi_get_error_string(open->context.get()) << result;
    return statusOfLibFtdi(LibFtdiCall::LatencyTimer, result);
}

FtStatus LibFtdiDriver::setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) {
    OpenDevice* open = deviceOf(handle);
    if (!open) return FT_INVALID_HANDLE;
    return statusOfLibFtdi(LibFtdiCall::BitMode, ftdi_set_bitmode(open->context.get(), mask, mode));
}

FtStatus LibFtdiDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                               std::uint8_t stopBits, std::uint8_t parity) {
    OpenDevice* open = deviceOf(handle);
    if (!open) return FT_INVALID_HANDLE;
    const auto bits = bitsOf(wordLength);
    const auto stops = stopBitsOf(stopBits);
    const auto parityMode = parityOf(parity);
    if (!bits || !stops || !parityMode) return FT_INVALID_PARAMETER;
    return statusOfLibFtdi(
        LibFtdiCall::LineProperty,
        ftdi_set_line_property2(open->context.get(), *bits, *stops, *parityMode, BREAK_OFF));
}

FtStatus LibFtdiDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    OpenDevice* open = deviceOf(handle);
    if (!open) return FT_INVALID_HANDLE;
    if (baud == 0 || baud > static_cast<std::uint32_t>(INT32_MAX)) return FT_INVALID_BAUD_RATE;
    return statusOfLibFtdi(LibFtdiCall::BaudRate,
                           ftdi_set_baudrate(open->context.get(), static_cast<int>(baud)));
}

FtStatus LibFtdiDriver::setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) {
    OpenDevice* open = deviceOf(handle);
    if (!open) return FT_INVALID_HANDLE;
    open->port.setTimeouts(readMs, writeMs);
    return FT_OK;
}

FtStatus LibFtdiDriver::lossNoticed(OpenDevice& open, FtStatus status) {
    // A transfer that fails is the device gone (or going): told once, with libftdi1's words.
    if (status == FT_IO_ERROR && !open.lossLogged) {
        open.lossLogged = true;
        qCDebug(lcLibFtdi).noquote()
            << "lost" << named(open.device) << "-" << ftdi_get_error_string(open.context.get());
    }
    return status;
}

FtStatus LibFtdiDriver::write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                              std::uint32_t& written) {
    written = 0;
    OpenDevice* open = deviceOf(handle);
    return open ? lossNoticed(*open, open->port.write(data, count, written)) : FT_INVALID_HANDLE;
}

FtStatus LibFtdiDriver::read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                             std::uint32_t& bytesRead) {
    bytesRead = 0;
    OpenDevice* open = deviceOf(handle);
    return open ? lossNoticed(*open, open->port.read(data, count, bytesRead)) : FT_INVALID_HANDLE;
}

FtStatus LibFtdiDriver::waitForReceived(FtHandle handle, std::uint32_t count,
                                        std::int64_t deadlineNs, Clock& clock,
                                        std::uint32_t& rxBytes) {
    OpenDevice* open = deviceOf(handle);
    return open ? lossNoticed(*open, open->port.waitForReceived(count, deadlineNs, clock, rxBytes))
                : FT_INVALID_HANDLE;
}

FtStatus LibFtdiDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    OpenDevice* open = deviceOf(handle);
    return open ? open->port.queueStatus(rxBytes) : FT_INVALID_HANDLE;
}

FtStatus LibFtdiDriver::purge(FtHandle handle, std::uint32_t mask) {
    OpenDevice* open = deviceOf(handle);
    return open ? open->port.purge(mask) : FT_INVALID_HANDLE;
}

}  // namespace qe
