#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ftdi_driver.h"
#include "libftdi_support.h"

struct ftdi_context;

namespace qe {

// The adapter through libftdi1 over libusb: needs nothing from the chip maker. Opening detaches
// the kernel's serial driver from the device and closing gives it back. Each open device's
// transfers go through a LibFtdiPort.
class LibFtdiDriver final : public FtdiDriver {
public:
    LibFtdiDriver();
    ~LibFtdiDriver() override;
    LibFtdiDriver(const LibFtdiDriver&) = delete;
    LibFtdiDriver& operator=(const LibFtdiDriver&) = delete;

    // False when libusb could not be set up (no USB at all).
    bool hasCreateDeviceInfoList() const override { return context_ != nullptr; }
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
    // The bytes received and not read yet, without a USB transfer.
    FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) override;
    FtStatus purge(FtHandle handle, std::uint32_t mask) override;
    // Waits in the USB transfers themselves, each asking for just the bytes still missing.
    FtStatus waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                             Clock& clock, std::uint32_t& rxBytes) override;
    std::string backendOf(const DeviceInfoNode&) const override { return "libftdi"; }
    std::string openFailureAdvice() const override { return openFailureAdvice_; }

private:
    struct OpenDevice;
    struct ContextDeleter {
        void operator()(ftdi_context* context) const;
    };
    using Context = std::unique_ptr<ftdi_context, ContextDeleter>;

    OpenDevice* deviceOf(FtHandle handle) const;
    FtStatus lossNoticed(OpenDevice& open, FtStatus status);
    FtHandle handleOf(const UsbFtdiDevice& device) const;

    Context context_;  // for enumeration
    std::vector<UsbFtdiDevice> listed_;
    std::map<FtHandle, std::unique_ptr<OpenDevice>> open_;
    FtHandle nextHandle_ = 1;
    std::string openFailureAdvice_;
};

}  // namespace qe
