#include "tty_driver.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "clock.h"
#include "device_access_advice.h"
#include "log_categories.h"
#include "port_in_use.h"

namespace qe {

namespace {

// D2XX's values for the line settings.
constexpr std::uint8_t kOneStopBit = 0;
constexpr std::uint8_t kTwoStopBits = 2;

// A write or read with no time-out set still ends; the adapter's replies take milliseconds.
constexpr std::uint32_t kUnsetTimeoutMs = 2000;

std::uint32_t deviceId(const TtyPort& port) {
    return static_cast<std::uint32_t>(port.vendorId) << 16 | port.productId;
}

bool matches(const TtyPort& port, const std::string& wanted, std::uint32_t flags) {
    DeviceInfoNode listed;  // compared as enumeration shows them, cut to the node's arrays
    listed.setSerialNumber(port.serial);
    listed.setDescription(port.product);
    return flags == kOpenBySerialNumber ? listed.serialNumber() == wanted
                                        : listed.description() == wanted;
}

std::optional<QSerialPort::StopBits> stopBitsOf(std::uint8_t value) {
    switch (value) {
        case kOneStopBit:
            return QSerialPort::OneStop;
        case kTwoStopBits:
            return QSerialPort::TwoStop;
        default:
            return std::nullopt;
    }
}

std::optional<QSerialPort::Parity> parityOf(std::uint8_t value) {
    switch (value) {
        case 0:
            return QSerialPort::NoParity;
        case 1:
            return QSerialPort::OddParity;
        case 2:
            return QSerialPort::EvenParity;
        case 3:
            return QSerialPort::MarkParity;
        case 4:
            return QSerialPort::SpaceParity;
        default:
            return std::nullopt;
    }
}

std::optional<QSerialPort::DataBits> dataBitsOf(std::uint8_t value) {
    switch (value) {
        case 7:
            return QSerialPort::Data7;
        case 8:
            return QSerialPort::Data8;
        default:
            return std::nullopt;
    }
}

std::uint32_t orUnset(std::uint32_t timeoutMs) {
    return timeoutMs != 0 ? timeoutMs : kUnsetTimeoutMs;
}

}  // namespace

struct TtyDriver::OpenPort {
    TtyPort info;
    QSerialPort serial;
    std::uint32_t readTimeoutMs = 0;
    std::uint32_t writeTimeoutMs = 0;

    // A port whose device is gone is hung up by the kernel. Qt Serial Port has no call that
    // tells, so the descriptor is asked directly.
    bool gone() {
        if (!serial.isOpen()) return true;
        pollfd look{static_cast<int>(serial.handle()), POLLIN, 0};
        if (::poll(&look, 1, 0) < 0) return errno != EINTR;
        return (look.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    // Takes what the kernel has received into Qt's buffer, without waiting.
    void takeReceived() {
        serial.waitForReadyRead(0);
        serial.clearError();  // "nothing arrived" is not an error here
    }

    // Waits without naps until the port holds `count` bytes or nsLeft() is no longer
    // positive; false when the port is gone. Sleeps in poll() until bytes arrive, and looks
    // through the last part of a millisecond, which poll() cannot wait for.
    template <typename NsLeft, typename Relax>
    bool awaitBytes(std::uint32_t count, NsLeft nsLeft, Relax relax) {
        for (;;) {
            takeReceived();
            if (gone()) return false;
            const std::int64_t leftNs = nsLeft();
            if (serial.bytesAvailable() >= count || leftNs <= 0) return true;
            const auto leftMs =
                static_cast<int>(std::min<std::int64_t>(leftNs / 1'000'000, INT_MAX));
            if (leftMs > 0) {
                serial.waitForReadyRead(leftMs);
                serial.clearError();
            } else {
                relax();
            }
        }
    }
};

TtyDriver::TtyDriver(TtyRoots roots, Notice notice)
    : roots_(std::move(roots)), notice_(std::move(notice)) {
    if (!notice_)
        notice_ = [](const std::string& text) {
            qCWarning(lcTty).noquote() << QString::fromStdString(text);
        };
}

TtyDriver::~TtyDriver() = default;

TtyDriver::OpenPort* TtyDriver::portOf(FtHandle handle) const {
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

FtHandle TtyDriver::handleOf(const TtyPort& port) const {
    for (const auto& [handle, open] : open_)
        if (open->info.node == port.node) return handle;
    return 0;
}

bool TtyDriver::isOpen(const TtyPort& port) const {
    return handleOf(port) != 0;
}

std::string TtyDriver::nodeOf(FtHandle handle) const {
    const OpenPort* port = portOf(handle);
    return port ? port->info.node.string() : std::string();
}

void TtyDriver::tellOnce(const std::string& key, const std::string& text) {
    if (told_.insert(key).second) notice_(text);
}

FtStatus TtyDriver::createDeviceInfoList(std::uint32_t& deviceCount) {
    listed_ = listTtyPorts(roots_);
    deviceCount = static_cast<std::uint32_t>(listed_.size());
    return FT_OK;
}

FtStatus TtyDriver::getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) {
    const std::size_t count = std::min<std::size_t>(deviceCount, listed_.size());
    for (std::size_t i = 0; i < count; ++i) {
        const TtyPort& port = listed_[i];
        DeviceInfoNode& node = nodes[i];
        node = DeviceInfoNode{};
        node.DeviceHandle = handleOf(port);
        // Opened, as D2XX lists it: by this driver, or by any other program.
        node.Flags = node.DeviceHandle != 0 || portHeldElsewhere(port.node) ? 1 : 0;
        node.ID = deviceId(port);
        node.setSerialNumber(port.serial);
        node.setDescription(port.product);
    }
    deviceCount = static_cast<std::uint32_t>(count);
    return FT_OK;
}

FtStatus TtyDriver::openEx(const void* arg, std::uint32_t flags, FtHandle& handle) {
    openFailureAdvice_.clear();
    if (!arg || (flags != kOpenBySerialNumber && flags != kOpenByDescription))
        return FT_INVALID_PARAMETER;
    const std::string wanted(static_cast<const char*>(arg));
    const auto ports = listTtyPorts(roots_);
    const auto found = std::find_if(ports.begin(), ports.end(), [&](const TtyPort& port) {
        return matches(port, wanted, flags) && !isOpen(port);
    });
    if (found == ports.end()) return FT_DEVICE_NOT_FOUND;
    // A program that simply has the port open (no lock, no exclusive open) would read our
    // replies, or write into our frames.
    if (openByAnotherProcess(found->node)) {
        openFailureAdvice_ = adapterInUseAdvice();
        return FT_DEVICE_NOT_OPENED;
    }

    auto port = std::make_unique<OpenPort>();
    port->info = *found;
    // Qt takes a path as the port's location as it stands.
    port->serial.setPortName(QString::fromStdString(found->node.string()));
    if (!port->serial.open(QIODevice::ReadWrite)) {
        switch (port->serial.error()) {
            case QSerialPort::DeviceNotFoundError:
                return FT_DEVICE_NOT_FOUND;
            case QSerialPort::PermissionError:
                // Qt says the same when another program holds the port: a node this user
                // may open is held by someone else.
                if (::access(found->node.c_str(), R_OK | W_OK) != 0 && errno == EACCES)
                    openFailureAdvice_ = serialPortPermissionAdvice(found->node.string());
                else
                    openFailureAdvice_ = adapterInUseAdvice();
                return FT_DEVICE_NOT_OPENED;
            default:
                return FT_DEVICE_NOT_OPENED;
        }
    }
    // Held until closed: a program started meanwhile (a window) cannot take it.
    if (!holdPortExclusively(static_cast<int>(port->serial.handle()))) {
        port->serial.close();
        openFailureAdvice_ = adapterInUseAdvice();
        return FT_DEVICE_NOT_OPENED;
    }
    port->serial.setFlowControl(QSerialPort::NoFlowControl);
    handle = nextHandle_++;
    open_[handle] = std::move(port);
    return FT_OK;
}

FtStatus TtyDriver::close(FtHandle handle) {
    const auto it = open_.find(handle);
    if (it == open_.end()) return FT_INVALID_HANDLE;
    // Closing a port whose adapter is gone still lets go of it: nothing for the user to know.
    it->second->serial.close();
    open_.erase(it);
    return FT_OK;
}

FtStatus TtyDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    OpenPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (port->gone()) return FT_IO_ERROR;
    // Qt Serial Port does not reach the FTDI chip's latency timer; ftdi_sio shows it in sysfs.
    const std::string path = port->info.latencyTimer.string();
    const std::string value = std::to_string(milliseconds) + "\n";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    const bool written =
        fd >= 0 && ::write(fd, value.data(), value.size()) == static_cast<ssize_t>(value.size());
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (!written)
        tellOnce(port->info.name, "Cannot set the latency timer of " + port->info.name + " to " +
                                      std::to_string(milliseconds) + " ms (" + path + ": " +
                                      std::strerror(error) +
                                      "); replies wait for the port's own latency timer.");
    return FT_OK;
}

FtStatus TtyDriver::setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) {
    OpenPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (port->gone()) return FT_IO_ERROR;
    return mask == 0 && mode == 0 ? FT_OK : FT_NOT_SUPPORTED;
}

FtStatus TtyDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                           std::uint8_t stopBits, std::uint8_t parity) {
    OpenPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (port->gone()) return FT_IO_ERROR;
    const auto dataBits = dataBitsOf(wordLength);
    const auto stops = stopBitsOf(stopBits);
    const auto parityMode = parityOf(parity);
    if (!dataBits || !stops || !parityMode) return FT_INVALID_PARAMETER;
    const bool set = port->serial.setDataBits(*dataBits) && port->serial.setStopBits(*stops) &&
                     port->serial.setParity(*parityMode);
    return set ? FT_OK : FT_IO_ERROR;
}

FtStatus TtyDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    OpenPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (port->gone()) return FT_IO_ERROR;
    if (baud == 0 || baud > static_cast<std::uint32_t>(INT32_MAX)) return FT_INVALID_BAUD_RATE;
    return port->serial.setBaudRate(static_cast<qint32>(baud)) ? FT_OK : FT_INVALID_BAUD_RATE;
}

FtStatus TtyDriver::setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) {
    OpenPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    port->readTimeoutMs = readMs;
    port->writeTimeoutMs = writeMs;
    return FT_OK;
}

FtStatus TtyDriver::write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                          std::uint32_t& written) {
    written = 0;
    OpenPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (port->gone()) return FT_IO_ERROR;
    if (port->serial.write(reinterpret_cast<const char*>(data), count) < 0) return FT_IO_ERROR;

    QDeadlineTimer deadline(orUnset(port->writeTimeoutMs));
    while (port->serial.bytesToWrite() > 0 && !deadline.hasExpired() && !port->gone())
        port->serial.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
    const qint64 left = port->serial.bytesToWrite();
    written = count - static_cast<std::uint32_t>(std::min<qint64>(left, count));
    // What did not go within the time-out must not go later, behind the next frame.
    if (left > 0) port->serial.clear(QSerialPort::Output);
    return port->gone() ? FT_IO_ERROR : FT_OK;
}

FtStatus TtyDriver::read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                         std::uint32_t& bytesRead) {
    bytesRead = 0;
    OpenPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (port->gone()) return FT_IO_ERROR;
    if (count == 0) return FT_OK;
    const QDeadlineTimer deadline(orUnset(port->readTimeoutMs), Qt::PreciseTimer);
    if (!port->awaitBytes(
            count, [&] { return deadline.remainingTimeNSecs(); }, [] {}))
        return FT_IO_ERROR;
    const qint64 got = port->serial.read(reinterpret_cast<char*>(data), count);
    if (got < 0) return FT_IO_ERROR;
    bytesRead = static_cast<std::uint32_t>(got);
    return FT_OK;
}

FtStatus TtyDriver::waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                                    Clock& clock, std::uint32_t& rxBytes) {
    OpenPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    const bool present = port->awaitBytes(
        count, [&] { return deadlineNs - clock.nowNs(); }, [&] { clock.relax(); });
    if (!present) return FT_IO_ERROR;
    rxBytes = static_cast<std::uint32_t>(port->serial.bytesAvailable());
    return FT_OK;
}

FtStatus TtyDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    OpenPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    port->takeReceived();
    if (port->gone()) return FT_IO_ERROR;
    rxBytes = static_cast<std::uint32_t>(port->serial.bytesAvailable());
    return FT_OK;
}

FtStatus TtyDriver::purge(FtHandle handle, std::uint32_t mask) {
    OpenPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (port->gone()) return FT_IO_ERROR;
    QSerialPort::Directions directions;
    if (mask & kPurgeRx) directions |= QSerialPort::Input;
    if (mask & kPurgeTx) directions |= QSerialPort::Output;
    if (!directions) return FT_INVALID_PARAMETER;
    return port->serial.clear(directions) ? FT_OK : FT_IO_ERROR;
}

}  // namespace qe
