#include "simulated_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qe::sim {

namespace {
// The driver fills a text array to its last byte when the text is that long, with no NUL
// after it; a shorter text ends with NULs.
template <std::size_t N>
void copyText(char (&dest)[N], const std::string& text) {
    std::memset(dest, 0, N);
    std::memcpy(dest, text.data(), std::min(text.size(), N));
}
}  // namespace

SimulatedAdapter& SimulatedDriver::addAdapter() {
    char serial[16];
    std::snprintf(serial, sizeof serial, "QE%06zu", adapters_.size() + 1);
    return addAdapter(serial, kAdapterDescription);
}

SimulatedAdapter& SimulatedDriver::addAdapter(std::string serialNumber, std::string description) {
    auto& adapter = *adapters_.emplace_back(std::make_unique<SimulatedAdapter>(
        clock_, transcript_, std::move(serialNumber), std::move(description)));
    adapter.setInstantReplies(instant_);
    adapter.setPace(pace_, seed_ + static_cast<std::uint32_t>(adapters_.size()));
    return adapter;
}

SimulatedAdapter* SimulatedDriver::findAdapter(const std::string& serialNumber) {
    for (auto& adapter : adapters_)
        if (adapter->serialNumber() == serialNumber) return adapter.get();
    return nullptr;
}

void SimulatedDriver::setPace(SimulatedAdapter::Pace pace, std::uint32_t seed) {
    pace_ = pace;
    seed_ = seed;
    for (std::size_t i = 0; i < adapters_.size(); ++i)
        adapters_[i]->setPace(pace, seed + static_cast<std::uint32_t>(i));
}

void SimulatedDriver::setInstantReplies(bool instant) {
    instant_ = instant;
    for (auto& adapter : adapters_) adapter->setInstantReplies(instant);
}

std::vector<SimulatedAdapter*> SimulatedDriver::pluggedAdapters() const {
    std::vector<SimulatedAdapter*> result;
    for (const auto& adapter : adapters_)
        if (adapter->plugged()) result.push_back(adapter.get());
    return result;
}

SimulatedAdapter* SimulatedDriver::adapterOf(FtHandle handle) const {
    const auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second;
}

std::uint32_t SimulatedDriver::locationOf(const SimulatedAdapter& adapter) const {
    // One USB port per adapter, in the order they were added.
    const auto it = std::find_if(adapters_.begin(), adapters_.end(),
                                 [&](const auto& a) { return a.get() == &adapter; });
    return 0x1001 + static_cast<std::uint32_t>(it - adapters_.begin());
}

FtStatus SimulatedDriver::createDeviceInfoList(std::uint32_t& deviceCount) {
    transcript_.add(clock_.nowNs(), "", Transcript::Kind::Call, "enumerate");
    deviceCount = static_cast<std::uint32_t>(pluggedAdapters().size());
    return FT_OK;
}

FtStatus SimulatedDriver::getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) {
    const auto plugged = pluggedAdapters();
    const auto count = std::min<std::size_t>(deviceCount, plugged.size());
    for (std::size_t i = 0; i < count; ++i) {
        const auto& adapter = *plugged[i];
        auto& node = nodes[i];
        node.Flags = adapter.isOpen() ? kOpenedFlag : 0;
        node.DeviceType = kDeviceType;
        node.ID = kDeviceId;
        node.LocID = locationOf(adapter);
        copyText(node.SerialNumber, adapter.serialNumber());
        copyText(node.Description, adapter.description());
        node.DeviceHandle = adapter.isOpen() ? adapter.handle() : 0;
    }
    deviceCount = static_cast<std::uint32_t>(count);
    return FT_OK;
}

FtStatus SimulatedDriver::openEx(const void* arg, std::uint32_t flags, FtHandle& handle) {
    if (!arg || (flags != kOpenBySerialNumber && flags != kOpenByDescription))
        return FT_INVALID_PARAMETER;
    const std::string wanted(static_cast<const char*>(arg));
    for (auto* adapter : pluggedAdapters()) {
        const auto& text =
            flags == kOpenBySerialNumber ? adapter->serialNumber() : adapter->description();
        if (text != wanted) continue;
        const auto newHandle = nextHandle_++;
        const auto status = adapter->open(newHandle);
        if (status != FT_OK) return status;
        handles_[newHandle] = adapter;
        handle = newHandle;
        return FT_OK;
    }
    transcript_.add(clock_.nowNs(), "", Transcript::Kind::Call, "open " + wanted + " failed 2");
    return FT_DEVICE_NOT_FOUND;
}

template <typename Call>
FtStatus SimulatedDriver::route(FtHandle handle, Call call) const {
    auto* adapter = adapterOf(handle);
    return adapter ? call(*adapter) : FT_INVALID_HANDLE;
}

FtStatus SimulatedDriver::close(FtHandle handle) {
    return route(handle, [&](SimulatedAdapter& a) { return a.close(handle); });
}

FtStatus SimulatedDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    return route(handle,
                 [&](SimulatedAdapter& a) { return a.setLatencyTimer(handle, milliseconds); });
}

FtStatus SimulatedDriver::setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) {
    return route(handle, [&](SimulatedAdapter& a) { return a.setBitMode(handle, mask, mode); });
}

FtStatus SimulatedDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                                 std::uint8_t stopBits, std::uint8_t parity) {
    return route(handle, [&](SimulatedAdapter& a) {
        return a.setDataCharacteristics(handle, wordLength, stopBits, parity);
    });
}

FtStatus SimulatedDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    return route(handle, [&](SimulatedAdapter& a) { return a.setBaudRate(handle, baud); });
}

FtStatus SimulatedDriver::setTimeouts(FtHandle handle, std::uint32_t readMs,
                                      std::uint32_t writeMs) {
    return route(handle,
                 [&](SimulatedAdapter& a) { return a.setTimeouts(handle, readMs, writeMs); });
}

FtStatus SimulatedDriver::write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                                std::uint32_t& written) {
    written = 0;
    return route(handle,
                 [&](SimulatedAdapter& a) { return a.write(handle, data, count, written); });
}

FtStatus SimulatedDriver::read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                               std::uint32_t& bytesRead) {
    bytesRead = 0;
    return route(handle,
                 [&](SimulatedAdapter& a) { return a.read(handle, data, count, bytesRead); });
}

FtStatus SimulatedDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    return route(handle, [&](SimulatedAdapter& a) { return a.getQueueStatus(handle, rxBytes); });
}

FtStatus SimulatedDriver::purge(FtHandle handle, std::uint32_t mask) {
    return route(handle, [&](SimulatedAdapter& a) { return a.purge(handle, mask); });
}

FtStatus SimulatedDriver::waitForReceived(FtHandle handle, std::uint32_t count,
                                          std::int64_t deadlineNs, Clock& clock,
                                          std::uint32_t& rxBytes) {
    if (&clock != &clock_ || !clock.runsInRealTime())
        return FtdiDriver::waitForReceived(handle, count, deadlineNs, clock, rxBytes);
    return route(handle, [&](SimulatedAdapter& a) {
        return a.waitForReceived(handle, count, deadlineNs, rxBytes);
    });
}

}  // namespace qe::sim
