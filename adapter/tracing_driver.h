#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "clock.h"
#include "ftdi_driver.h"

namespace qe {

// An FtdiDriver that passes every call to another one and tells, one line each, what went
// over the link: frames sent and bytes received, decoded, and the driver calls around them
// (open, line settings, purges, failures). Queue looks and empty reads that succeed are left
// out: the link makes thousands of them while it waits.
//
// Lines read "  12.345 -> 59 0A 30  read chip 5 register 48": milliseconds since the tracer
// was made, the direction, the bytes, their meaning.
class TracingDriver final : public FtdiDriver {
public:
    using LineSink = std::function<void(const std::string& line)>;

    TracingDriver(FtdiDriver& inner, Clock& clock, LineSink sink);

    bool hasCreateDeviceInfoList() const override { return inner_.hasCreateDeviceInfoList(); }
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
    std::string backendOf(const DeviceInfoNode& node) const override {
        return inner_.backendOf(node);
    }
    std::string openFailureAdvice() const override { return inner_.openFailureAdvice(); }
    std::vector<EnumerationFailure> enumerationFailures() const override {
        return inner_.enumerationFailures();
    }
    // The inner driver's own wait, which may sleep until bytes arrive.
    FtStatus waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                             Clock& clock, std::uint32_t& rxBytes) override;

private:
    // One trace line; a failed call gets its status appended.
    void line(const std::string& text, FtStatus status = FT_OK);

    FtdiDriver& inner_;
    Clock& clock_;
    LineSink sink_;
    std::int64_t startNs_;
    std::vector<std::uint8_t> lastFrame_;  // what replies answer
};

}  // namespace qe
