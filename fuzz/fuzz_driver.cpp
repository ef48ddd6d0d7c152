#include "fuzz_driver.h"

#include <algorithm>
#include <cstring>

namespace qe::fuzz {

namespace {
constexpr FtHandle kHandle = 0x51;
constexpr std::uint8_t kFailureMark = 0xF7;  // an input byte of this value makes a call fail
}  // namespace

FtStatus FuzzDriver::status() {
    if (source_.next() != kFailureMark) return FT_OK;
    return 1 + source_.next() % 18;
}

FtStatus FuzzDriver::createDeviceInfoList(std::uint32_t& deviceCount) {
    deviceCount = 1;
    return FT_OK;
}

FtStatus FuzzDriver::getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) {
    if (!nodes || deviceCount < 1) return FT_INVALID_PARAMETER;
    nodes[0] = DeviceInfoNode{};
    std::memcpy(nodes[0].SerialNumber, "FZ1", 3);
    std::memcpy(nodes[0].Description, "QE7204 interface", 16);
    deviceCount = 1;
    return FT_OK;
}

FtStatus FuzzDriver::openEx(const void*, std::uint32_t, FtHandle& handle) {
    const FtStatus result = status();
    if (result == FT_OK) handle = kHandle;
    queue_.clear();
    return result;
}

FtStatus FuzzDriver::close(FtHandle) {
    return FT_OK;
}

FtStatus FuzzDriver::setLatencyTimer(FtHandle, std::uint8_t) {
    return status();
}

FtStatus FuzzDriver::setBitMode(FtHandle, std::uint8_t, std::uint8_t) {
    return status();
}

FtStatus FuzzDriver::setDataCharacteristics(FtHandle, std::uint8_t, std::uint8_t, std::uint8_t) {
    return status();
}

FtStatus FuzzDriver::setBaudRate(FtHandle, std::uint32_t) {
    return status();
}

FtStatus FuzzDriver::setTimeouts(FtHandle, std::uint32_t, std::uint32_t) {
    return status();
}

FtStatus FuzzDriver::write(FtHandle, const std::uint8_t*, std::uint32_t count,
                           std::uint32_t& written) {
    const FtStatus result = status();
    // Usually the whole frame; a byte above 0xE0 cuts it.
    const std::uint8_t cut = source_.next();
    written = cut > 0xE0 ? std::min<std::uint32_t>(count, cut & 0x07) : count;
    return result;
}

FtStatus FuzzDriver::read(FtHandle, std::uint8_t* data, std::uint32_t count,
                          std::uint32_t& bytesRead) {
    const FtStatus result = status();
    // Mostly all that is asked and waiting; sometimes fewer.
    const std::uint8_t shortBy = source_.next();
    std::uint32_t n = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(queue_.size()));
    if (shortBy > 0xF0) n -= std::min<std::uint32_t>(n, shortBy & 0x0F);
    std::copy_n(queue_.begin(), n, data);
    queue_.erase(queue_.begin(), queue_.begin() + n);
    bytesRead = n;
    if (count > 0) {
        lastDelivered_.assign(data, data + n);
        deliveredSince_.insert(deliveredSince_.end(), data, data + n);
    }
    return result;
}

FtStatus FuzzDriver::getQueueStatus(FtHandle, std::uint32_t& rxBytes) {
    const FtStatus result = status();
    // Each look: time passes (a tenth of a second once the input is spent, so that every wait
    // ends soon), and a burst of the input's bytes may arrive.
    const std::uint8_t look = source_.next();
    clock_.advanceMs(source_.empty() ? 100 : look >> 6);
    const std::vector<std::uint8_t> arriving = source_.take(look & 0x3F);
    queue_.insert(queue_.end(), arriving.begin(), arriving.end());
    rxBytes = static_cast<std::uint32_t>(queue_.size());
    return result;
}

FtStatus FuzzDriver::purge(FtHandle, std::uint32_t mask) {
    if (mask & kPurgeRx) queue_.clear();
    return FT_OK;
}

}  // namespace qe::fuzz
