#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ftdi_driver.h"
#include "tty_port_list.h"

namespace qe {

// The adapter through the kernel's FTDI serial driver (ftdi_sio): /dev/ttyUSBn, found through
// sysfs, spoken to through Qt Serial Port. Needs nothing from the chip maker, and no kernel
// module unloaded. An unplugged port fails every call on its handle with FT_IO_ERROR.
//
// Qt Serial Port needs a QCoreApplication (its notifiers live in the thread's event loop).
class TtyDriver final : public FtdiDriver {
public:
    // Things worth telling once that are no failure (the latency timer cannot be set).
    using Notice = std::function<void(const std::string&)>;

    // An empty notice goes to the log, as a warning of qe7204.tty.
    explicit TtyDriver(TtyRoots roots = TtyRoots::fromEnvironment(), Notice notice = {});
    ~TtyDriver() override;
    TtyDriver(const TtyDriver&) = delete;
    TtyDriver& operator=(const TtyDriver&) = delete;

    bool hasCreateDeviceInfoList() const override { return true; }
    FtStatus createDeviceInfoList(std::uint32_t& deviceCount) override;
    FtStatus getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) override;
    FtStatus openEx(const void* arg, std::uint32_t flags, FtHandle& handle) override;
    FtStatus close(FtHandle handle) override;
    // Written to the port's latency_timer in sysfs when that is writable; said once otherwise,
    // and no failure, since the adapter works with the port's own setting too.
    FtStatus setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) override;
    // The kernel driver keeps the chip in serial mode: only the reset is accepted.
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
    // Sleeps in poll() until bytes arrive, instead of looking at the queue again and again.
    FtStatus waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                             Clock& clock, std::uint32_t& rxBytes) override;
    std::string backendOf(const DeviceInfoNode&) const override { return "tty"; }
    std::string openFailureAdvice() const override { return openFailureAdvice_; }

    // The node of the port behind an open handle; empty for an unknown handle.
    std::string nodeOf(FtHandle handle) const;

private:
    struct OpenPort;

    OpenPort* portOf(FtHandle handle) const;
    bool isOpen(const TtyPort& port) const;
    FtHandle handleOf(const TtyPort& port) const;
    void tellOnce(const std::string& key, const std::string& text);

    TtyRoots roots_;
    Notice notice_;
    std::vector<TtyPort> listed_;
    std::map<FtHandle, std::unique_ptr<OpenPort>> open_;
    FtHandle nextHandle_ = 1;
    std::set<std::string> told_;
    std::string openFailureAdvice_;
};

}  // namespace qe
