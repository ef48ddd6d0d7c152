#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ftdi_driver.h"

namespace qe {

// Several backends shown as one driver, so that the connection logic, the ini's "Last Opened"
// and the one-adapter rules work unchanged over all of them. Enumeration lists the devices of
// every backend that has a device list; a device that two backends see (same serial number)
// is listed once, by the backend that comes first. Handles are the composite's own, each
// routed to the backend that opened it.
class CompositeDriver final : public FtdiDriver {
public:
    struct Backend {
        std::string name;  // "d2xx", "tty", "libftdi"
        std::unique_ptr<FtdiDriver> driver;
    };

    // Backends in order of preference.
    explicit CompositeDriver(std::vector<Backend> backends);

    std::size_t backendCount() const { return backends_.size(); }
    const std::string& backendName(std::size_t index) const { return backends_.at(index).name; }

    bool hasCreateDeviceInfoList() const override;
    // A backend whose enumeration fails is left out; the status is the first backend's when
    // none of them lists anything.
    FtStatus createDeviceInfoList(std::uint32_t& deviceCount) override;
    FtStatus getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) override;
    // Opens through the backend that listed the device last time; a device not listed is
    // looked for in every backend in turn.
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
    // The backend's own wait, which may sleep until bytes arrive.
    FtStatus waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                             Clock& clock, std::uint32_t& rxBytes) override;
    // The name of the backend that listed the device in the last enumeration.
    std::string backendOf(const DeviceInfoNode& node) const override;
    std::string openFailureAdvice() const override { return openFailureAdvice_; }
    // Backends whose enumeration failed while others listed their devices.
    std::vector<EnumerationFailure> enumerationFailures() const override {
        return enumerationFailures_;
    }

private:
    struct Listed {
        std::size_t backend;
        DeviceInfoNode node;  // as the backend reported it, with the backend's handle
    };
    struct Route {
        std::size_t backend;
        FtHandle handle;
    };

    // Calls on a composite handle go to its backend with the backend's handle.
    template <typename Call>
    FtStatus route(FtHandle handle, Call call);
    FtHandle compositeHandleOf(std::size_t backend, FtHandle backendHandle) const;
    FtStatus openThrough(std::size_t backend, const void* arg, std::uint32_t flags,
                         FtHandle& handle);
    std::vector<std::size_t> backendsToTry(const void* arg, std::uint32_t flags) const;

    std::vector<Backend> backends_;
    std::vector<Listed> listed_;
    std::map<FtHandle, Route> routes_;
    FtHandle nextHandle_ = 1;
    std::vector<EnumerationFailure> enumerationFailures_;
    std::string openFailureAdvice_;
};

// One merged list from each backend's list, backends in order of preference: a device whose
// serial number an earlier backend already listed is dropped. Devices without a serial
// number cannot be told apart and are all kept.
struct BackendList {
    std::size_t backend;
    std::vector<DeviceInfoNode> nodes;
};
std::vector<std::pair<std::size_t, DeviceInfoNode>> mergeDeviceLists(
    const std::vector<BackendList>& lists);

}  // namespace qe
