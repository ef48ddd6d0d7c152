#include "libftdi_model.h"

#include <libusb.h>

#include <algorithm>
#include <map>
#include <vector>

namespace qe::test {

namespace {

// The model behind each context handed to the port.
std::map<const ftdi_context*, LibFtdiModel*>& models() {
    static std::map<const ftdi_context*, LibFtdiModel*> byContext;
    return byContext;
}
constexpr int kUsbDeviceUnavailable = LIBUSB_ERROR_NO_DEVICE;
constexpr int kWriteFailed = -1;

}  // namespace

LibFtdiModel::LibFtdiModel(ManualClock& clock, sim::SimulatedDriver& driver, FtHandle handle)
    : clock_(clock), driver_(driver), handle_(handle) {
    models()[&context_] = this;
}

LibFtdiModel::~LibFtdiModel() {
    models().erase(&context_);
}

LibFtdiModel& LibFtdiModel::of(ftdi_context* context) {
    return *models().at(context);
}

const LibFtdiFunctions& LibFtdiModel::functions() {
    static const LibFtdiFunctions table{
        [](ftdi_context* c, unsigned char* buf, int size) { return of(c).readData(buf, size); },
        [](ftdi_context* c, const unsigned char* buf, int size) {
            return of(c).writeData(buf, size);
        },
        [](ftdi_context* c, unsigned short* status) {
            *status = 0;
            return of(c).pollModemStatus();
        },
        [](ftdi_context* c) { return of(c).flushRx(); },
        [](ftdi_context*) { return 0; },
    };
    return table;
}

int LibFtdiModel::transfer(std::deque<std::uint8_t>& into) {
    ++transfers_;
    std::uint32_t waiting = 0;
    if (driver_.getQueueStatus(handle_, waiting) != FT_OK) return kUsbDeviceUnavailable;
    if (waiting == 0) {
        // Nothing held: the chip answers when its latency timer next runs out.
        const std::int64_t latencyNs = std::int64_t{driver_.adapter().latencyTimerMs()} * 1'000'000;
        clock_.setNs((clock_.nowNs() / latencyNs + 1) * latencyNs);
        if (driver_.getQueueStatus(handle_, waiting) != FT_OK) return kUsbDeviceUnavailable;
        if (waiting == 0) return 0;
    }
    std::vector<std::uint8_t> bytes(waiting);
    std::uint32_t got = 0;
    if (driver_.read(handle_, bytes.data(), waiting, got) != FT_OK) return kUsbDeviceUnavailable;
    into.insert(into.end(), bytes.begin(), bytes.begin() + got);
    return static_cast<int>(got);
}

int LibFtdiModel::readData(unsigned char* buf, int size) {
    ++readCalls_;
    const auto wanted = static_cast<std::size_t>(size);
    std::size_t offset = 0;
    const auto takeSurplus = [&] {
        const std::size_t n = std::min(wanted - offset, surplus_.size());
        std::copy_n(surplus_.begin(), n, buf + offset);
        surplus_.erase(surplus_.begin(), surplus_.begin() + static_cast<std::ptrdiff_t>(n));
        offset += n;
        context_.readbuffer_remaining = static_cast<unsigned>(surplus_.size());
    };
    takeSurplus();
    while (offset < wanted) {
        const int brought = transfer(surplus_);
        if (brought < 0) return brought;
        if (brought == 0) break;
        takeSurplus();
    }
    return static_cast<int>(offset);
}

int LibFtdiModel::writeData(const unsigned char* buf, int size) {
    if (writesTimeOut_) return kWriteFailed;
    std::uint32_t written = 0;
    if (driver_.write(handle_, buf, static_cast<std::uint32_t>(size), written) != FT_OK)
        return kWriteFailed;
    return static_cast<int>(written);
}

int LibFtdiModel::pollModemStatus() {
    std::uint32_t read = 0;
    return driver_.read(handle_, nullptr, 0, read) == FT_OK ? 0 : kUsbDeviceUnavailable;
}

int LibFtdiModel::flushRx() {
    surplus_.clear();
    context_.readbuffer_remaining = 0;
    return driver_.purge(handle_, kPurgeRx) == FT_OK ? 0 : kUsbDeviceUnavailable;
}

// --- the backend's port over the model --------------------------------------------------------

LibFtdiModelDriver::LibFtdiModelDriver(ManualClock& clock, sim::SimulatedDriver& driver)
    : clock_(clock), driver_(driver) {}

LibFtdiModelDriver::~LibFtdiModelDriver() = default;

LibFtdiModel* LibFtdiModelDriver::model(FtHandle handle) {
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.model.get();
}

LibFtdiPort* LibFtdiModelDriver::portOf(FtHandle handle) {
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.port.get();
}

FtStatus LibFtdiModelDriver::createDeviceInfoList(std::uint32_t& deviceCount) {
    return driver_.createDeviceInfoList(deviceCount);
}

FtStatus LibFtdiModelDriver::getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) {
    return driver_.getDeviceInfoList(nodes, deviceCount);
}

FtStatus LibFtdiModelDriver::openEx(const void* arg, std::uint32_t flags, FtHandle& handle) {
    const FtStatus status = driver_.openEx(arg, flags, handle);
    if (status != FT_OK) return status;
    Open& open = open_[handle];
    open.model = std::make_unique<LibFtdiModel>(clock_, driver_, handle);
    open.port = std::make_unique<LibFtdiPort>(open.model->context(), LibFtdiModel::functions());
    return FT_OK;
}

FtStatus LibFtdiModelDriver::close(FtHandle handle) {
    open_.erase(handle);
    return driver_.close(handle);
}

FtStatus LibFtdiModelDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    return driver_.setLatencyTimer(handle, milliseconds);
}

FtStatus LibFtdiModelDriver::setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) {
    return driver_.setBitMode(handle, mask, mode);
}

FtStatus LibFtdiModelDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                                    std::uint8_t stopBits, std::uint8_t parity) {
    return driver_.setDataCharacteristics(handle, wordLength, stopBits, parity);
}

FtStatus LibFtdiModelDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    return driver_.setBaudRate(handle, baud);
}

FtStatus LibFtdiModelDriver::setTimeouts(FtHandle handle, std::uint32_t readMs,
                                         std::uint32_t writeMs) {
    LibFtdiPort* port = portOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    port->setTimeouts(readMs, writeMs);
    return driver_.setTimeouts(handle, readMs, writeMs);
}

FtStatus LibFtdiModelDriver::write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                                   std::uint32_t& written) {
    LibFtdiPort* port = portOf(handle);
    return port ? port->write(data, count, written) : FT_INVALID_HANDLE;
}

FtStatus LibFtdiModelDriver::read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                                  std::uint32_t& bytesRead) {
    LibFtdiPort* port = portOf(handle);
    return port ? port->read(data, count, bytesRead) : FT_INVALID_HANDLE;
}

FtStatus LibFtdiModelDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    LibFtdiPort* port = portOf(handle);
    return port ? port->queueStatus(rxBytes) : FT_INVALID_HANDLE;
}

FtStatus LibFtdiModelDriver::purge(FtHandle handle, std::uint32_t mask) {
    LibFtdiPort* port = portOf(handle);
    return port ? port->purge(mask) : FT_INVALID_HANDLE;
}

FtStatus LibFtdiModelDriver::waitForReceived(FtHandle handle, std::uint32_t count,
                                             std::int64_t deadlineNs, Clock& clock,
                                             std::uint32_t& rxBytes) {
    LibFtdiPort* port = portOf(handle);
    return port ? port->waitForReceived(count, deadlineNs, clock, rxBytes) : FT_INVALID_HANDLE;
}

}  // namespace qe::test
