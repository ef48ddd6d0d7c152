#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ftdi_driver.h"

namespace qe {

class D2xxReceiveEvent;

// The vendor's D2XX library, loaded once by name through the system's normal library search
// and kept loaded until the program ends. Without the library (or without its
// FT_CreateDeviceInfoList) enumeration gives status 9 and lists nothing.
//
// Each opened handle asks the library to signal arriving bytes (FT_SetEventNotification), so
// that a wait for a reply sleeps until the bytes are there. A library without that entry point,
// or one that refuses it, gets the plain looks at its queue instead.
class D2xxDriver final : public FtdiDriver {
public:
    // "libftd2xx.so", "FTD2XX.DLL" or "libftd2xx.dylib", by platform.
    static const char* defaultLibraryName();

    explicit D2xxDriver(const std::string& libraryName = defaultLibraryName());
    ~D2xxDriver() override;
    D2xxDriver(const D2xxDriver&) = delete;
    D2xxDriver& operator=(const D2xxDriver&) = delete;

    bool isLoaded() const { return library_ != nullptr; }

    bool hasCreateDeviceInfoList() const override;
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
    std::string backendOf(const DeviceInfoNode&) const override { return "d2xx"; }
    FtStatus waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                             Clock& clock, std::uint32_t& rxBytes) override;

    // Whether the library signals arriving bytes on this open handle.
    bool notifiesArrivals(FtHandle handle) const;

private:
    struct EntryPoints;

    void startArrivalNotification(FtHandle handle);
    void stopArrivalNotification(FtHandle handle);

    void* library_ = nullptr;
    std::unique_ptr<EntryPoints> entries_;
    // The event each open handle signals. A handle lost without being closed keeps its entry,
    // since the library may still hold the event, until the library hands out the same handle
    // again; the entry then retires and lives as long as the driver.
    std::map<FtHandle, std::unique_ptr<D2xxReceiveEvent>> events_;
    std::vector<std::unique_ptr<D2xxReceiveEvent>> retired_;
};

}  // namespace qe
