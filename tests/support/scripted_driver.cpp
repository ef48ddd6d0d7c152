#include "scripted_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace qe::test {

void ScriptedDriver::replyToNextWrite(std::vector<std::uint8_t> bytes, std::int64_t afterMs) {
    pendingReplies_.emplace_back(std::move(bytes), afterMs);
}

void ScriptedDriver::arriveAt(std::int64_t atNs, std::vector<std::uint8_t> bytes) {
    for (auto byte : bytes) {
        auto pos = std::upper_bound(rx_.begin(), rx_.end(), atNs,
                                    [](std::int64_t t, const Arrival& a) { return t < a.atNs; });
        rx_.insert(pos, Arrival{atNs, byte});
    }
}

std::vector<std::vector<std::uint8_t>> ScriptedDriver::frames() const {
    std::vector<std::vector<std::uint8_t>> result;
    for (const auto& call : calls)
        if (call.name == "FT_Write") result.push_back(call.bytes);
    return result;
}

std::vector<std::string> ScriptedDriver::callNames() const {
    std::vector<std::string> result;
    for (const auto& call : calls) result.push_back(call.name);
    return result;
}

int ScriptedDriver::count(const std::string& name) const {
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.name == name; }));
}

FtStatus ScriptedDriver::record(const std::string& name, std::uint32_t arg,
                                std::vector<std::uint8_t> bytes) {
    calls.push_back(Call{name, std::move(bytes), arg, clock_.nowNs()});
    if (name == "FT_Write" && framesBeforeUnplug_ && (*framesBeforeUnplug_)-- == 0)
        unplugged_ = true;
    if (unplugged_) return unplugStatus_;
    if (auto it = failing_.find(name); it != failing_.end() && it->second != FT_OK)
        return it->second;
    if (auto it = failingFrom_.find(name);
        it != failingFrom_.end() && clock_.nowNs() >= it->second.second)
        return it->second.first;
    if (auto it = failingAfter_.find(name); it != failingAfter_.end()) {
        auto& [status, callsThatSucceed] = it->second;
        if (callsThatSucceed == 0) return status;
        --callsThatSucceed;
    }
    return FT_OK;
}

std::uint32_t ScriptedDriver::arrivedCount() const {
    const auto now = clock_.nowNs();
    return static_cast<std::uint32_t>(
        std::count_if(rx_.begin(), rx_.end(), [now](const Arrival& a) { return a.atNs <= now; }));
}

FtStatus ScriptedDriver::createDeviceInfoList(std::uint32_t& deviceCount) {
    auto status = record("FT_CreateDeviceInfoList");
    if (status == FT_OK) deviceCount = static_cast<std::uint32_t>(devices.size());
    return status;
}

FtStatus ScriptedDriver::getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) {
    auto status = record("FT_GetDeviceInfoList", deviceCount);
    if (status != FT_OK) return status;
    // As strict as the strictest library: no list is a bad parameter, whatever the count.
    if (!nodes) return FT_INVALID_PARAMETER;
    const auto n = std::min<std::size_t>(deviceCount, devices.size());
    std::copy_n(devices.begin(), n, nodes);
    deviceCount = static_cast<std::uint32_t>(n);
    return FT_OK;
}

FtStatus ScriptedDriver::openEx(const void* arg, std::uint32_t flags, FtHandle& handle) {
    const std::string serial = flags == kOpenBySerialNumber ? static_cast<const char*>(arg) : "";
    auto status =
        record("FT_OpenEx", flags, std::vector<std::uint8_t>(serial.begin(), serial.end()));
    if (auto it = openFailures.find(serial); status == FT_OK && it != openFailures.end())
        status = it->second;
    if (status != FT_OK) return status;
    const std::string wanted = arg ? static_cast<const char*>(arg) : "";
    const bool listed = std::any_of(devices.begin(), devices.end(), [&](const DeviceInfoNode& n) {
        return wanted == (flags == kOpenBySerialNumber ? n.serialNumber() : n.description());
    });
    if (!listed) return FT_DEVICE_NOT_FOUND;
    handle = nextHandle_++;
    readTimeoutMs.reset();  // time-outs belong to a handle
    for (auto& node : devices)
        if (serial == node.serialNumber()) {
            node.DeviceHandle = handle;
            node.Flags |= 1;
        }
    return FT_OK;
}

FtStatus ScriptedDriver::close(FtHandle handle) {
    const FtStatus status = record("FT_Close", static_cast<std::uint32_t>(handle));
    if (status != FT_OK || handle == 0) return status;
    // Listed free again, as the vendor driver lists a device closed.
    for (auto& node : devices)
        if (node.DeviceHandle == handle) {
            node.DeviceHandle = 0;
            node.Flags &= ~1u;
        }
    return status;
}

FtStatus ScriptedDriver::setLatencyTimer(FtHandle, std::uint8_t milliseconds) {
    return record("FT_SetLatencyTimer", milliseconds);
}

FtStatus ScriptedDriver::setBitMode(FtHandle, std::uint8_t mask, std::uint8_t mode) {
    return record("FT_SetBitMode", static_cast<std::uint32_t>(mask) << 8 | mode);
}

FtStatus ScriptedDriver::setDataCharacteristics(FtHandle, std::uint8_t wordLength,
                                                std::uint8_t stopBits, std::uint8_t parity) {
    return record("FT_SetDataCharacteristics",
                  static_cast<std::uint32_t>(wordLength) << 16 | stopBits << 8 | parity);
}

FtStatus ScriptedDriver::setBaudRate(FtHandle, std::uint32_t baud) {
    return record("FT_SetBaudRate", baud);
}

FtStatus ScriptedDriver::setTimeouts(FtHandle, std::uint32_t readMs, std::uint32_t writeMs) {
    auto status = record("FT_SetTimeouts", readMs);
    calls.back().bytes = {static_cast<std::uint8_t>(writeMs >> 8),
                          static_cast<std::uint8_t>(writeMs)};
    if (status == FT_OK) readTimeoutMs = readMs;
    return status;
}

FtStatus ScriptedDriver::write(FtHandle, const std::uint8_t* data, std::uint32_t count,
                               std::uint32_t& written) {
    const auto accepted = std::min(count, writeLimit_);
    auto status = record("FT_Write", count, std::vector<std::uint8_t>(data, data + accepted));
    if (status != FT_OK) {
        written = 0;
        return status;
    }
    written = accepted;
    if (!pendingReplies_.empty()) {
        auto [bytes, afterMs] = std::move(pendingReplies_.front());
        pendingReplies_.pop_front();
        arriveAt(clock_.nowNs() + afterMs * 1'000'000, std::move(bytes));
    }
    return FT_OK;
}

FtStatus ScriptedDriver::read(FtHandle, std::uint8_t* data, std::uint32_t count,
                              std::uint32_t& bytesRead) {
    auto status = record("FT_Read", count);
    bytesRead = 0;
    if (status != FT_OK || count == 0) return status;
    // Wait, on the manual clock, for all the bytes or for the read time-out.
    if (arrivedCount() < count) {
        const bool allWillArrive = rx_.size() >= count;
        if (!allWillArrive && !readTimeoutMs) {
            ADD_FAILURE() << "FT_Read of " << count << " bytes with no read time-out set: "
                          << "the vendor driver would wait forever";
            return FT_OK;
        }
        auto target = allWillArrive ? rx_[count - 1].atNs : INT64_MAX;
        if (readTimeoutMs)
            target = std::min(
                target, clock_.nowNs() + static_cast<std::int64_t>(*readTimeoutMs) * 1'000'000);
        clock_.setNs(std::max(clock_.nowNs(), target));
    }
    const auto available = arrivedCount();
    bytesRead = std::min(count, available);
    for (std::uint32_t i = 0; i < bytesRead; ++i) {
        data[i] = rx_.front().byte;
        rx_.pop_front();
    }
    return FT_OK;
}

FtStatus ScriptedDriver::getQueueStatus(FtHandle, std::uint32_t& rxBytes) {
    auto status = record("FT_GetQueueStatus");
    // Queue looks are many; keep the record about what the code did, not how often it looked.
    calls.pop_back();
    if (status == FT_OK) rxBytes = arrivedCount();
    return status;
}

FtStatus ScriptedDriver::purge(FtHandle, std::uint32_t mask) {
    auto status = record("FT_Purge", mask);
    if (status == FT_OK && (mask & kPurgeRx)) {
        const auto now = clock_.nowNs();
        rx_.erase(std::remove_if(rx_.begin(), rx_.end(),
                                 [now](const Arrival& a) { return a.atNs <= now; }),
                  rx_.end());
    }
    return status;
}

}  // namespace qe::test
