#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "clock.h"
#include "ftdi_driver.h"

namespace qe::test {

// A driver that plays a script: reply bytes arrive at given times on a manual clock, any
// call can be made to fail, and every call is recorded. Reading waits by advancing the clock.
class ScriptedDriver final : public FtdiDriver {
public:
    struct Call {
        std::string name;                 // "FT_Write", "FT_Purge", ...
        std::vector<std::uint8_t> bytes;  // bytes written (FT_Write), serial (FT_OpenEx)
        std::uint32_t arg = 0;            // count, mask, latency, baud ...
        std::int64_t atNs = 0;
    };

    explicit ScriptedDriver(ManualClock& clock) : clock_(clock) {}

    // --- script -------------------------------------------------------------------------
    // The next write is answered with these bytes, afterMs after it was accepted.
    void replyToNextWrite(std::vector<std::uint8_t> bytes, std::int64_t afterMs = 0);
    // Bytes arriving at an absolute time (ns on the manual clock).
    void arriveAt(std::int64_t atNs, std::vector<std::uint8_t> bytes);
    // Every later call of that name returns this status (FT_OK clears it).
    void failCall(const std::string& name, FtStatus status) { failing_[name] = status; }
    // Calls of that name fail with the status once the manual clock has reached fromNs.
    void failCallFrom(const std::string& name, FtStatus status, std::int64_t fromNs) {
        failingFrom_[name] = {status, fromNs};
    }
    // The first `callsThatSucceed` calls of that name succeed, every later one fails.
    void failCallAfter(const std::string& name, FtStatus status, int callsThatSucceed) {
        failingAfter_[name] = {status, callsThatSucceed};
    }
    // The adapter is unplugged as the frame after the first `frames` is sent: that write and
    // every later call fail with the status, as the vendor's driver fails for a device gone.
    void unplugAfterFrames(int frames, FtStatus status = FT_IO_ERROR) {
        framesBeforeUnplug_ = frames;
        unplugStatus_ = status;
    }
    // The adapter is pulled out now: every later call fails with the status.
    void unplugNow(FtStatus status = FT_IO_ERROR) {
        unplugged_ = true;
        unplugStatus_ = status;
    }
    // Opening the device with this serial number fails with the status.
    std::map<std::string, FtStatus> openFailures;
    // Each write accepts at most this many bytes.
    void limitWrites(std::uint32_t maxBytes) { writeLimit_ = maxBytes; }

    std::vector<DeviceInfoNode> devices;  // what enumeration reports, and what opens
    bool libraryPresent = true;

    // --- record -------------------------------------------------------------------------
    std::vector<Call> calls;
    std::vector<std::vector<std::uint8_t>> frames() const;  // every write's bytes, in order
    std::vector<std::string> callNames() const;
    int count(const std::string& name) const;

    // --- FtdiDriver ---------------------------------------------------------------------
    bool hasCreateDeviceInfoList() const override { return libraryPresent; }
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

    // Set by FT_SetTimeouts, forgotten when a device is opened. Without one a read waits
    // for all its bytes, as the vendor driver does; one that would wait forever fails the test.
    std::optional<std::uint32_t> readTimeoutMs;

private:
    struct Arrival {
        std::int64_t atNs;
        std::uint8_t byte;
    };
    FtStatus record(const std::string& name, std::uint32_t arg = 0,
                    std::vector<std::uint8_t> bytes = {});
    std::uint32_t arrivedCount() const;

    ManualClock& clock_;
    std::map<std::string, FtStatus> failing_;
    std::map<std::string, std::pair<FtStatus, std::int64_t>> failingFrom_;
    std::map<std::string, std::pair<FtStatus, int>> failingAfter_;
    std::deque<std::pair<std::vector<std::uint8_t>, std::int64_t>> pendingReplies_;
    std::deque<Arrival> rx_;  // ordered by arrival time
    std::uint32_t writeLimit_ = UINT32_MAX;
    std::optional<int> framesBeforeUnplug_;
    FtStatus unplugStatus_ = FT_OK;
    bool unplugged_ = false;
    FtHandle nextHandle_ = 0x1000;
};

}  // namespace qe::test
