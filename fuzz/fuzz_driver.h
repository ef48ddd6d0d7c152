#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "byte_source.h"
#include "clock.h"
#include "ftdi_driver.h"

namespace qe::fuzz {

// A driver whose every answer comes from the fuzzer's bytes: how many bytes arrive at each
// look at the receive queue and what they are, failed statuses, reads that deliver fewer
// bytes than are waiting, writes that take part of a frame. Time passes on the manual clock
// with every look, so each wait ends. It lists one "QE7204 interface" adapter.
class FuzzDriver final : public FtdiDriver {
public:
    FuzzDriver(ByteSource& source, ManualClock& clock) : source_(source), clock_(clock) {}

    // The bytes the last read with a non-zero count delivered, and every byte delivered since
    // forgetDelivered().
    const std::vector<std::uint8_t>& lastDelivered() const { return lastDelivered_; }
    const std::vector<std::uint8_t>& deliveredSince() const { return deliveredSince_; }
    void forgetDelivered() {
        lastDelivered_.clear();
        deliveredSince_.clear();
    }

    bool hasCreateDeviceInfoList() const override { return true; }
    FtStatus createDeviceInfoList(std::uint32_t& deviceCount) override;
    FtStatus getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) override;
    FtStatus openEx(const void* arg, std::uint32_t flags, FtHandle& handle) override;
    FtStatus close(FtHandle handle) override;
    FtStatus setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) override;
    FtStatus setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) override;
    FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                    std::uint8_t parity) override;
    FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) override;
    FtStatus setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) override;
    FtStatus write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                   std::uint32_t& written) override;
    FtStatus read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                  std::uint32_t& bytesRead) override;
    FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) override;
    FtStatus purge(FtHandle handle, std::uint32_t mask) override;

private:
    // Mostly success; now and then a failure with a status taken from the input.
    FtStatus status();

    ByteSource& source_;
    ManualClock& clock_;
    std::deque<std::uint8_t> queue_;
    std::vector<std::uint8_t> lastDelivered_;
    std::vector<std::uint8_t> deliveredSince_;
};

}  // namespace qe::fuzz
