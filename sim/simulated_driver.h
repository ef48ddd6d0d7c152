#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "clock.h"
#include "ftdi_driver.h"
#include "simulated_adapter.h"
#include "transcript.h"

namespace qe::sim {

// The D2XX driver over simulated adapters: enumeration lists the plugged ones, FT_OpenEx
// finds one by serial number or description, and every call on a handle goes to its adapter.
// All adapters write into one transcript.
class SimulatedDriver final : public FtdiDriver {
public:
    // What enumeration reports for every adapter: an FT232R with the vendor's USB ids.
    static constexpr std::uint32_t kDeviceType = 5;
    static constexpr std::uint32_t kDeviceId = 0x04036001;
    static constexpr std::uint32_t kOpenedFlag = 1;

    explicit SimulatedDriver(Clock& clock) : clock_(clock) {}

    // A "QE7204 interface" adapter with the next serial number: "QE000001", "QE000002", ...
    SimulatedAdapter& addAdapter();
    // Any FTDI device, e.g. one whose description lacks "QE7204 interface". Enumeration lists
    // at most 16 bytes of the serial number and 64 of the description, as the driver's node holds.
    SimulatedAdapter& addAdapter(std::string serialNumber, std::string description);

    std::size_t adapterCount() const { return adapters_.size(); }
    SimulatedAdapter& adapter(std::size_t index = 0) { return *adapters_.at(index); }
    SimulatedAdapter* findAdapter(const std::string& serialNumber);

    // No latency, wire or EEPROM time on every adapter, present and future (unit tests).
    void setInstantReplies(bool instant);
    // The pace of every adapter, present and future; each adapter gets a seed of its own.
    void setPace(SimulatedAdapter::Pace pace, std::uint32_t seed = 1);

    Transcript& transcript() { return transcript_; }
    const Transcript& transcript() const { return transcript_; }

    // --- FtdiDriver ---------------------------------------------------------------------
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
    std::string backendOf(const DeviceInfoNode&) const override { return "sim"; }
    // On the real clock the thread sleeps until the awaited byte is due, by the adapter's
    // latency model; on a manual clock it looks at the queue like any driver, so that time
    // moves exactly as in tests that script it.
    FtStatus waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                             Clock& clock, std::uint32_t& rxBytes) override;

private:
    std::vector<SimulatedAdapter*> pluggedAdapters() const;
    SimulatedAdapter* adapterOf(FtHandle handle) const;
    // Calls on a handle go to its adapter; a handle never given out is invalid.
    template <typename Call>
    FtStatus route(FtHandle handle, Call call) const;
    std::uint32_t locationOf(const SimulatedAdapter& adapter) const;

    Clock& clock_;
    Transcript transcript_;
    std::vector<std::unique_ptr<SimulatedAdapter>> adapters_;
    std::map<FtHandle, SimulatedAdapter*> handles_;  // every handle ever given, dead ones too
    FtHandle nextHandle_ = 0x7E01;
    bool instant_ = false;
    SimulatedAdapter::Pace pace_ = SimulatedAdapter::Pace::WholeLatency;
    std::uint32_t seed_ = 1;
};

}  // namespace qe::sim
