// A stand-in for libusb-1.0 that plays one FT232R-based adapter with a QE7204 behind it, so
// that the real libftdi1 and the programs above it can be run end to end without hardware.
//
// Loaded instead of the system's libusb (LD_LIBRARY_PATH), it answers what libftdi1 asks of a
// USB device: the descriptors, the strings, the vendor requests (reset, purge, latency timer,
// modem status) and the bulk transfers. The FT232R's own timing is what matters here:
// - a bulk IN transfer returns one packet: two modem-status bytes and up to 62 data bytes;
// - a full packet goes at once; a short one (or one with status bytes only) goes when the
//   latency timer next runs out, so a reply reaches the host anywhere in (0, latency] ms
//   after its last byte arrived; the timer runs on its own, with a phase of its own;
// - a transfer whose time-out comes first ends with LIBUSB_ERROR_TIMEOUT and no bytes.
//
// The environment shapes it:
//   FT232R_SERIAL            the serial number (default "QE000001")
//   FT232R_MAGNET_SPEED      turns per second of the magnet (default 0.1)
//   FT232R_LOADED_BUS=SEED   now and then (1 packet in 8) 10 to 40 ms more, as on a busy bus
//   FT232R_UNPLUG_AFTER=N    the device is gone after the host's N-th frame: every call then
//                            fails with LIBUSB_ERROR_NO_DEVICE and it is no longer listed
//   FT232R_LOG=FILE          one line per packet and vendor request, for a failing test
//   FT232R_CLAIMED_ELSEWHERE another program has claimed the interface: claims fail with
//                            LIBUSB_ERROR_BUSY (looked at on every claim)
//   FT232R_KERNEL_DRIVER     the kernel's serial driver is bound to the interface
//
// A test in the same process pulls the cable out and puts it back with ft232r_unplug() and
// ft232r_replug().

#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "adapter_firmware.h"
#include "chip_bus.h"
#include "clock.h"
#include "transcript.h"
#include "virtual_magnet.h"

struct libusb_context {
    int unused = 0;
};
struct libusb_device {
    int references = 1;
};
struct libusb_device_handle {
    libusb_device* device = nullptr;
};

namespace {

using qe::sim::AdapterFirmware;

constexpr std::uint16_t kFtdiVendor = 0x0403;
constexpr std::uint16_t kFt232rProduct = 0x6001;
constexpr std::uint16_t kFt232rRelease = 0x0600;  // libftdi1 takes bcdDevice 0x600 for an FT232R
constexpr int kPacketSize = 64;
constexpr int kStatusBytes = 2;
constexpr unsigned char kModemStatus[kStatusBytes] = {0x01, 0x60};
constexpr unsigned char kEndpointIn = 0x81;
constexpr unsigned char kEndpointOut = 0x02;

// FTDI vendor requests libftdi1 sends.
constexpr std::uint8_t kResetRequest = 0x00;
// On the wire 2 empties what the device holds for the host (libftdi1's tciflush).
constexpr std::uint16_t kResetPurgeToHost = 2;
constexpr std::uint8_t kPollModemStatusRequest = 0x05;
constexpr std::uint8_t kSetLatencyTimerRequest = 0x09;
constexpr std::uint8_t kGetLatencyTimerRequest = 0x0A;

std::int64_t envInteger(const char* name, std::int64_t fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoll(text, nullptr, 10) : fallback;
}

std::string envText(const char* name, const char* fallback) {
    const char* text = std::getenv(name);
    return text && *text ? text : fallback;
}

class Ft232r {
public:
    Ft232r()
        : serial_(envText("FT232R_SERIAL", "QE000001")),
          magnet_(clock_),
          bus_(magnet_),
          firmware_(bus_, transcript_, serial_),
          phaseNs_(clock_.nowNs() % kMs),
          unplugAfter_(envInteger("FT232R_UNPLUG_AFTER", -1)),
          loadedSeed_(envInteger("FT232R_LOADED_BUS", -1)),
          load_(static_cast<std::uint32_t>(std::max<std::int64_t>(loadedSeed_, 0))) {
        bus_.addChip(0);
        const char* speed = std::getenv("FT232R_MAGNET_SPEED");
        magnet_.setSpeed(speed ? std::strtod(speed, nullptr) : 0.1);
        const std::string logPath = envText("FT232R_LOG", "");
        if (!logPath.empty()) log_ = std::fopen(logPath.c_str(), "a");
    }

    bool plugged() const { return !pulled_ && (unplugAfter_ < 0 || frames_ < unplugAfter_); }
    void setPulled(bool pulled) { pulled_ = pulled; }
    std::mutex& mutex() { return mutex_; }
    const std::string& serial() const { return serial_; }

    void purgeReceived() { pending_.clear(); }
    void setLatency(int ms) { latencyNs_ = std::clamp(ms, 1, 255) * kMs; }
    int latencyMs() const { return static_cast<int>(latencyNs_ / kMs); }

    // The host's bytes go over the serial line one after the other, and so do the replies:
    // one to a frame sent while another is still coming back waits for it.
    void send(const unsigned char* data, int length) {
        std::int64_t at = std::max(clock_.nowNs(), lineFreeNs_);
        for (int i = 0; i < length; ++i) {
            at += kByteNs;
            if (auto reply = firmware_.receive(data[i], at)) {
                ++frames_;
                std::int64_t arrives = std::max({reply->readyNs, at, replyLineFreeNs_});
                for (const auto byte : reply->bytes) {
                    arrives += kByteNs;
                    pending_.push_back({byte, arrives});
                }
                replyLineFreeNs_ = arrives;
            }
        }
        lineFreeNs_ = at;
    }

    // One bulk IN transfer: blocks as the USB host would, with the lock released.
    int receive(std::unique_lock<std::mutex>& lock, unsigned char* data, int length, int* actual,
                unsigned int timeoutMs) {
        const std::int64_t start = clock_.nowNs();
        const std::int64_t deadline =
            timeoutMs == 0 ? INT64_MAX : start + static_cast<std::int64_t>(timeoutMs) * kMs;
        const std::int64_t sendAt = packetTime(start);
        if (sendAt > deadline) {
            sleepUntil(lock, deadline);
            *actual = 0;
            return LIBUSB_ERROR_TIMEOUT;
        }
        sleepUntil(lock, sendAt);
        if (!plugged()) return LIBUSB_ERROR_NO_DEVICE;
        const int room = std::min(length, kPacketSize) - kStatusBytes;
        int count = 0;
        while (count < room && !pending_.empty() && pending_.front().arrivesNs <= sendAt) {
            data[kStatusBytes + count++] = pending_.front().byte;
            pending_.pop_front();
        }
        std::memcpy(data, kModemStatus, kStatusBytes);
        *actual = kStatusBytes + count;
        note("IN  %d data bytes after %.1f ms", count, (sendAt - start) / 1e6);
        return 0;
    }

    template <typename... Args>
    void note(const char* format, Args... args) {
        if (!log_) return;
        std::fprintf(log_, "%10.3f ", clock_.nowNs() / 1e6);
        std::fprintf(log_, format, args...);
        std::fputc('\n', log_);
        std::fflush(log_);
    }

private:
    static constexpr std::int64_t kMs = 1'000'000;
    // 250,000 baud, 8 data bits, 2 stop bits: 11 bits a byte.
    static constexpr std::int64_t kByteNs = 44'000;

    struct Byte {
        unsigned char byte;
        std::int64_t arrivesNs;  // in the FT232R's buffer
    };

    // When the packet for a transfer that starts now leaves: at once when a full packet is
    // there or the latency timer ran out since the first byte arrived, else when the timer
    // next runs out. A loaded bus now and then holds a packet back.
    std::int64_t packetTime(std::int64_t now) {
        std::int64_t at = nextTick(now);
        int ready = 0;
        for (const auto& b : pending_)
            if (b.arrivesNs <= now) ++ready;
        if (ready >= kPacketSize - kStatusBytes ||
            (!pending_.empty() && nextTick(pending_.front().arrivesNs) <= now))
            at = now;
        if (loadedSeed_ >= 0 && load_() % 8 == 0)
            at += (10 + static_cast<std::int64_t>(load_() % 31)) * kMs;
        return at;
    }

    std::int64_t nextTick(std::int64_t t) const {
        const std::int64_t sinceTick = (t - phaseNs_) % latencyNs_;
        return t - sinceTick + latencyNs_;
    }

    void sleepUntil(std::unique_lock<std::mutex>& lock, std::int64_t at) {
        const std::int64_t wait = at - clock_.nowNs();
        if (wait <= 0) return;
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
        lock.lock();
    }

    std::mutex mutex_;
    std::string serial_;
    qe::SystemClock clock_;
    qe::sim::Transcript transcript_;
    qe::sim::VirtualMagnet magnet_;
    qe::sim::ChipBus bus_;
    AdapterFirmware firmware_;
    std::deque<Byte> pending_;
    std::int64_t lineFreeNs_ = 0;
    std::int64_t replyLineFreeNs_ = 0;
    std::int64_t latencyNs_ = 16 * kMs;
    std::int64_t phaseNs_;
    std::int64_t frames_ = 0;
    std::int64_t unplugAfter_;
    bool pulled_ = false;
    std::int64_t loadedSeed_;
    std::mt19937 load_;
    std::FILE* log_ = nullptr;
};

Ft232r& adapter() {
    static Ft232r instance;
    return instance;
}

libusb_device theDevice;

int copyString(const std::string& text, unsigned char* data, int length) {
    const int count = std::min(static_cast<int>(text.size()), length - 1);
    std::memcpy(data, text.data(), static_cast<std::size_t>(count));
    data[count] = 0;
    return count;
}

}  // namespace

extern "C" {

void ft232r_unplug() {
    std::lock_guard lock(adapter().mutex());
    adapter().setPulled(true);
}

void ft232r_replug() {
    std::lock_guard lock(adapter().mutex());
    adapter().setPulled(false);
}

int libusb_init(libusb_context** context) {
    if (context) *context = new libusb_context;
    return 0;
}

void libusb_exit(libusb_context* context) {
    delete context;
}

ssize_t libusb_get_device_list(libusb_context*, libusb_device*** list) {
    const bool present = adapter().plugged();
    *list = new libusb_device* [2] { present ? &theDevice : nullptr, nullptr };
    return present ? 1 : 0;
}

void libusb_free_device_list(libusb_device** list, int) {
    delete[] list;
}

libusb_device* libusb_ref_device(libusb_device* device) {
    ++device->references;
    return device;
}

void libusb_unref_device(libusb_device* device) {
    --device->references;
}

uint8_t libusb_get_bus_number(libusb_device*) {
    return 1;
}
uint8_t libusb_get_device_address(libusb_device*) {
    return 7;
}

int libusb_get_port_numbers(libusb_device*, uint8_t* ports, int length) {
    if (length < 1) return LIBUSB_ERROR_OVERFLOW;
    ports[0] = 2;
    return 1;
}

int libusb_get_device_descriptor(libusb_device*, libusb_device_descriptor* descriptor) {
    *descriptor = {};
    descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
    descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
    descriptor->bcdUSB = 0x0200;
    descriptor->bMaxPacketSize0 = 8;
    descriptor->idVendor = kFtdiVendor;
    descriptor->idProduct = kFt232rProduct;
    descriptor->bcdDevice = kFt232rRelease;
    descriptor->iManufacturer = 1;
    descriptor->iProduct = 2;
    descriptor->iSerialNumber = 3;
    descriptor->bNumConfigurations = 1;
    return 0;
}

int libusb_get_config_descriptor(libusb_device*, uint8_t, libusb_config_descriptor** config) {
    auto* endpoints = new libusb_endpoint_descriptor[2]{};
    endpoints[0].bEndpointAddress = kEndpointIn;
    endpoints[0].bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    endpoints[0].wMaxPacketSize = kPacketSize;
    endpoints[1].bEndpointAddress = kEndpointOut;
    endpoints[1].bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    endpoints[1].wMaxPacketSize = kPacketSize;
    auto* setting = new libusb_interface_descriptor{};
    setting->bNumEndpoints = 2;
    setting->endpoint = endpoints;
    auto* interface = new libusb_interface{};
    interface->altsetting = setting;
    interface->num_altsetting = 1;
    auto* result = new libusb_config_descriptor{};
    result->bConfigurationValue = 1;
    result->bNumInterfaces = 1;
    result->interface = interface;
    *config = result;
    return 0;
}

void libusb_free_config_descriptor(libusb_config_descriptor* config) {
    if (!config) return;
    delete[] config->interface->altsetting->endpoint;
    delete config->interface->altsetting;
    delete config->interface;
    delete config;
}

int libusb_open(libusb_device* device, libusb_device_handle** handle) {
    if (!adapter().plugged()) return LIBUSB_ERROR_NO_DEVICE;
    *handle = new libusb_device_handle{device};
    return 0;
}

void libusb_close(libusb_device_handle* handle) {
    delete handle;
}

int libusb_get_string_descriptor_ascii(libusb_device_handle*, uint8_t index, unsigned char* data,
                                       int length) {
    std::lock_guard lock(adapter().mutex());
    if (!adapter().plugged()) return LIBUSB_ERROR_NO_DEVICE;
    switch (index) {
        case 1:
            return copyString("FTDI", data, length);
        case 2:
            return copyString("QE7204 interface", data, length);
        case 3:
            return copyString(adapter().serial(), data, length);
        default:
            return LIBUSB_ERROR_INVALID_PARAM;
    }
}

int libusb_claim_interface(libusb_device_handle*, int) {
    if (!adapter().plugged()) return LIBUSB_ERROR_NO_DEVICE;
    return envText("FT232R_CLAIMED_ELSEWHERE", "").empty() ? 0 : LIBUSB_ERROR_BUSY;
}
int libusb_kernel_driver_active(libusb_device_handle*, int) {
    if (!adapter().plugged()) return LIBUSB_ERROR_NO_DEVICE;
    return envText("FT232R_KERNEL_DRIVER", "").empty() ? 0 : 1;
}
int libusb_release_interface(libusb_device_handle*, int) {
    return 0;
}
int libusb_detach_kernel_driver(libusb_device_handle*, int) {
    return LIBUSB_ERROR_NOT_FOUND;
}
int libusb_set_auto_detach_kernel_driver(libusb_device_handle*, int) {
    return 0;
}
int libusb_get_configuration(libusb_device_handle*, int* config) {
    *config = 1;
    return 0;
}
int libusb_set_configuration(libusb_device_handle*, int) {
    return 0;
}

int libusb_control_transfer(libusb_device_handle*, uint8_t, uint8_t request, uint16_t value,
                            uint16_t, unsigned char* data, uint16_t length, unsigned int) {
    auto& device = adapter();
    std::lock_guard lock(device.mutex());
    if (!device.plugged()) return LIBUSB_ERROR_NO_DEVICE;
    device.note("CTL request %u value %u", request, value);
    switch (request) {
        case kResetRequest:
            if (value == kResetPurgeToHost) device.purgeReceived();
            return 0;
        case kSetLatencyTimerRequest:
            device.setLatency(value & 0xFF);
            return 0;
        case kGetLatencyTimerRequest:
            if (length < 1) return LIBUSB_ERROR_OVERFLOW;
            data[0] = static_cast<unsigned char>(device.latencyMs());
            return 1;
        case kPollModemStatusRequest:
            if (length < kStatusBytes) return LIBUSB_ERROR_OVERFLOW;
            std::memcpy(data, kModemStatus, kStatusBytes);
            return kStatusBytes;
        default:  // baud rate, line properties, flow control, bit mode: the firmware's line is
                  // fixed
            return 0;
    }
}

int libusb_bulk_transfer(libusb_device_handle*, unsigned char endpoint, unsigned char* data,
                         int length, int* actual, unsigned int timeout) {
    auto& device = adapter();
    std::unique_lock lock(device.mutex());
    *actual = 0;
    if (!device.plugged()) return LIBUSB_ERROR_NO_DEVICE;
    if (endpoint == kEndpointIn) return device.receive(lock, data, length, actual, timeout);
    if (endpoint != kEndpointOut) return LIBUSB_ERROR_INVALID_PARAM;
    device.note("OUT %d bytes", length);
    device.send(data, length);
    *actual = length;
    return 0;
}

// libftdi1's streaming and asynchronous calls; the programs under test do not use them.
libusb_transfer* libusb_alloc_transfer(int) {
    return nullptr;
}
void libusb_free_transfer(libusb_transfer*) {}
int libusb_submit_transfer(libusb_transfer*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}
int libusb_cancel_transfer(libusb_transfer*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}
int libusb_handle_events_timeout(libusb_context*, timeval*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}
int libusb_handle_events_timeout_completed(libusb_context*, timeval*, int*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

}  // extern "C"
