#include "composite_driver.h"

#include <algorithm>
#include <set>

namespace qe {

namespace {

// Stands for a handle that a backend reports but the composite never gave out (the device
// is open elsewhere): non-zero, so the device counts as taken, and never routed.
constexpr FtHandle kForeignHandle = ~FtHandle{0};

std::string textOf(const void* arg) {
    return arg ? std::string(static_cast<const char*>(arg)) : std::string();
}

bool matches(const DeviceInfoNode& node, const std::string& wanted, std::uint32_t flags) {
    return flags == kOpenBySerialNumber ? node.serialNumber() == wanted
                                        : node.description() == wanted;
}

}  // namespace

std::vector<std::pair<std::size_t, DeviceInfoNode>> mergeDeviceLists(
    const std::vector<BackendList>& lists) {
    std::vector<std::pair<std::size_t, DeviceInfoNode>> merged;
    std::set<std::string> serialsSeen;
    for (const BackendList& list : lists) {
        // A backend may list one device twice (two ports of one chip); only earlier backends
        // hide a device.
        std::set<std::string> serialsHere;
        for (const DeviceInfoNode& node : list.nodes) {
            const std::string serial = node.serialNumber();
            if (!serial.empty() && serialsSeen.count(serial)) continue;
            if (!serial.empty()) serialsHere.insert(serial);
            merged.emplace_back(list.backend, node);
        }
        serialsSeen.merge(serialsHere);
    }
    return merged;
}

CompositeDriver::CompositeDriver(std::vector<Backend> backends) : backends_(std::move(backends)) {}

bool CompositeDriver::hasCreateDeviceInfoList() const {
    return std::any_of(backends_.begin(), backends_.end(),
                       [](const Backend& b) { return b.driver->hasCreateDeviceInfoList(); });
}

FtStatus CompositeDriver::createDeviceInfoList(std::uint32_t& deviceCount) {
    std::vector<BackendList> lists;
    std::vector<EnumerationFailure> failures;
    for (std::size_t i = 0; i < backends_.size(); ++i) {
        FtdiDriver& driver = *backends_[i].driver;
        std::uint32_t count = 0;
        const char* label = "FT_CreateDeviceInfoList";
        FtStatus status = driver.hasCreateDeviceInfoList() ? driver.createDeviceInfoList(count)
                                                           : FT_DEVICE_NOT_OPENED_FOR_WRITE;
        BackendList list{i, std::vector<DeviceInfoNode>(count)};
        if (status == FT_OK && count > 0) {
            label = "FT_GetDeviceInfoList";
            status = driver.getDeviceInfoList(list.nodes.data(), count);
            list.nodes.resize(std::min<std::size_t>(count, list.nodes.size()));
        }
        if (status != FT_OK) {
            failures.push_back({label, status});
            continue;
        }
        lists.push_back(std::move(list));
    }
    // A backend that is not there at all (no library: status 9 from its list) is no news.
    enumerationFailures_.clear();
    for (const EnumerationFailure& failure : failures)
        if (failure.status != FT_DEVICE_NOT_OPENED_FOR_WRITE)
            enumerationFailures_.push_back(failure);
    if (lists.empty() && !failures.empty()) {
        if (enumerationFailures_.empty()) return failures.front().status;
        // The first failure worth telling is the enumeration's own status; the rest are told
        // beside it.
        const FtStatus status = enumerationFailures_.front().status;
        enumerationFailures_.erase(enumerationFailures_.begin());
        return status;
    }

    listed_.clear();
    for (auto& [backend, node] : mergeDeviceLists(lists)) listed_.push_back({backend, node});
    deviceCount = static_cast<std::uint32_t>(listed_.size());
    return FT_OK;
}

FtHandle CompositeDriver::compositeHandleOf(std::size_t backend, FtHandle backendHandle) const {
    if (backendHandle == 0) return 0;
    for (const auto& [handle, route] : routes_)
        if (route.backend == backend && route.handle == backendHandle) return handle;
    return kForeignHandle;
}

FtStatus CompositeDriver::getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) {
    const std::size_t count = std::min<std::size_t>(deviceCount, listed_.size());
    for (std::size_t i = 0; i < count; ++i) {
        nodes[i] = listed_[i].node;
        nodes[i].DeviceHandle = compositeHandleOf(listed_[i].backend, listed_[i].node.DeviceHandle);
    }
    deviceCount = static_cast<std::uint32_t>(count);
    return FT_OK;
}

std::vector<std::size_t> CompositeDriver::backendsToTry(const void* arg,
                                                        std::uint32_t flags) const {
    const std::string wanted = textOf(arg);
    for (const Listed& listed : listed_)
        if (matches(listed.node, wanted, flags)) return {listed.backend};
    std::vector<std::size_t> all;
    for (std::size_t i = 0; i < backends_.size(); ++i) all.push_back(i);
    return all;
}

FtStatus CompositeDriver::openThrough(std::size_t backend, const void* arg, std::uint32_t flags,
                                      FtHandle& handle) {
    FtHandle backendHandle = 0;
    const FtStatus status = backends_[backend].driver->openEx(arg, flags, backendHandle);
    if (status != FT_OK) {
        openFailureAdvice_ = backends_[backend].driver->openFailureAdvice();
        return status;
    }
    const FtHandle handleGiven = nextHandle_++;
    routes_[handleGiven] = {backend, backendHandle};
    handle = handleGiven;
    return FT_OK;
}

FtStatus CompositeDriver::openEx(const void* arg, std::uint32_t flags, FtHandle& handle) {
    if (!arg || (flags != kOpenBySerialNumber && flags != kOpenByDescription))
        return FT_INVALID_PARAMETER;
    openFailureAdvice_.clear();
    FtStatus firstFailure = FT_DEVICE_NOT_FOUND;
    std::string firstAdvice;
    for (std::size_t backend : backendsToTry(arg, flags)) {
        const FtStatus status = openThrough(backend, arg, flags, handle);
        if (status == FT_OK) return FT_OK;
        // The one that found the device but could not open it says more than "not found".
        if (firstFailure == FT_DEVICE_NOT_FOUND) {
            firstFailure = status;
            firstAdvice = openFailureAdvice_;
        }
    }
    openFailureAdvice_ = firstAdvice;
    return firstFailure;
}

template <typename Call>
FtStatus CompositeDriver::route(FtHandle handle, Call call) {
    const auto it = routes_.find(handle);
    if (it == routes_.end()) return FT_INVALID_HANDLE;
    return call(*backends_[it->second.backend].driver, it->second.handle);
}

FtStatus CompositeDriver::close(FtHandle handle) {
    const FtStatus status =
        route(handle, [](FtdiDriver& driver, FtHandle h) { return driver.close(h); });
    routes_.erase(handle);
    return status;
}

FtStatus CompositeDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    return route(handle, [&](FtdiDriver& driver, FtHandle h) {
        return driver.setLatencyTimer(h, milliseconds);
    });
}

FtStatus CompositeDriver::setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) {
    return route(handle,
                 [&](FtdiDriver& driver, FtHandle h) { return driver.setBitMode(h, mask, mode); });
}

FtStatus CompositeDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                                 std::uint8_t stopBits, std::uint8_t parity) {
    return route(handle, [&](FtdiDriver& driver, FtHandle h) {
        return driver.setDataCharacteristics(h, wordLength, stopBits, parity);
    });
}

FtStatus CompositeDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    return route(handle,
                 [&](FtdiDriver& driver, FtHandle h) { return driver.setBaudRate(h, baud); });
}

FtStatus CompositeDriver::setTimeouts(FtHandle handle, std::uint32_t readMs,
                                      std::uint32_t writeMs) {
    return route(handle, [&](FtdiDriver& driver, FtHandle h) {
        return driver.setTimeouts(h, readMs, writeMs);
    });
}

FtStatus CompositeDriver::write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                                std::uint32_t& written) {
    written = 0;
    return route(handle, [&](FtdiDriver& driver, FtHandle h) {
        return driver.write(h, data, count, written);
    });
}

FtStatus CompositeDriver::read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                               std::uint32_t& bytesRead) {
    bytesRead = 0;
    return route(handle, [&](FtdiDriver& driver, FtHandle h) {
        return driver.read(h, data, count, bytesRead);
    });
}

FtStatus CompositeDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    return route(handle,
                 [&](FtdiDriver& driver, FtHandle h) { return driver.getQueueStatus(h, rxBytes); });
}

FtStatus CompositeDriver::purge(FtHandle handle, std::uint32_t mask) {
    return route(handle, [&](FtdiDriver& driver, FtHandle h) { return driver.purge(h, mask); });
}

FtStatus CompositeDriver::waitForReceived(FtHandle handle, std::uint32_t count,
                                          std::int64_t deadlineNs, Clock& clock,
                                          std::uint32_t& rxBytes) {
    return route(handle, [&](FtdiDriver& driver, FtHandle h) {
        return driver.waitForReceived(h, count, deadlineNs, clock, rxBytes);
    });
}

std::string CompositeDriver::backendOf(const DeviceInfoNode& node) const {
    for (const Listed& listed : listed_)
        if (listed.node.serialNumber() == node.serialNumber() &&
            listed.node.description() == node.description())
            return backends_[listed.backend].name;
    return {};
}

}  // namespace qe
