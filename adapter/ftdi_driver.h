#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qe {

class Clock;

// Status of a driver call; 0 is success. The values are the D2XX ones.
using FtStatus = std::uint32_t;

enum : FtStatus {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18,
};

// An open device; 0 means none. Wide enough to hold the driver's pointer handle.
using FtHandle = std::uintptr_t;

inline constexpr std::uint32_t kOpenBySerialNumber = 1;
inline constexpr std::uint32_t kOpenByDescription = 2;
inline constexpr std::uint32_t kPurgeRx = 1;
inline constexpr std::uint32_t kPurgeTx = 2;

// One attached device as the driver lists it. The texts are fixed arrays that the
// driver may fill to the last byte without a terminating NUL.
struct DeviceInfoNode {
    std::uint32_t Flags = 0;
    std::uint32_t DeviceType = 0;
    std::uint32_t ID = 0;
    std::uint32_t LocID = 0;
    char SerialNumber[16] = {};
    char Description[64] = {};
    FtHandle DeviceHandle = 0;

    std::string serialNumber() const;  // up to the first NUL, never past the array
    std::string description() const;
    // As a driver fills them: cut to the array, a NUL after the text only when it fits.
    void setSerialNumber(const std::string& text);
    void setDescription(const std::string& text);
};

// The driver entry points the tool uses, each returning the driver's status.
class FtdiDriver {
public:
    virtual ~FtdiDriver() = default;

    // False when the library (or its FT_CreateDeviceInfoList) is not there.
    virtual bool hasCreateDeviceInfoList() const = 0;

    virtual FtStatus createDeviceInfoList(std::uint32_t& deviceCount) = 0;
    // nodes must have room for deviceCount entries; deviceCount is updated.
    virtual FtStatus getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) = 0;
    virtual FtStatus openEx(const void* arg, std::uint32_t flags, FtHandle& handle) = 0;
    virtual FtStatus close(FtHandle handle) = 0;
    virtual FtStatus setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) = 0;
    virtual FtStatus setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) = 0;
    virtual FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                            std::uint8_t stopBits, std::uint8_t parity) = 0;
    virtual FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) = 0;
    virtual FtStatus setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) = 0;
    virtual FtStatus write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                           std::uint32_t& written) = 0;
    // Blocks until count bytes have arrived or the read time-out passes; count 0 only
    // asks whether the device still answers.
    virtual FtStatus read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                          std::uint32_t& bytesRead) = 0;
    virtual FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) = 0;
    virtual FtStatus purge(FtHandle handle, std::uint32_t mask) = 0;

    // Which backend lists the device ("d2xx", "tty", "libftdi", "sim"); empty when unknown.
    virtual std::string backendOf(const DeviceInfoNode& node) const {
        (void)node;
        return {};
    }
    // A failed enumeration call that the last createDeviceInfoList went on without (one
    // backend of several could not list its devices), under the D2XX call's name.
    struct EnumerationFailure {
        std::string label;  // "FT_CreateDeviceInfoList" or "FT_GetDeviceInfoList"
        FtStatus status = FT_OK;
        bool operator==(const EnumerationFailure&) const = default;
    };
    virtual std::vector<EnumerationFailure> enumerationFailures() const { return {}; }
    // What the user can do about the last failed openEx, when the driver knows its cause
    // (no permission to the device); empty otherwise.
    virtual std::string openFailureAdvice() const { return {}; }
    // Blocks until at least `count` bytes wait in the receive queue or `clock` has reached
    // deadlineNs, whichever comes first, and gives the queue length last seen in rxBytes. A
    // failed look at the queue ends the wait with that status. This one looks at the queue
    // every 0.2 ms or sooner; drivers that are told when bytes arrive wait for that instead.
    virtual FtStatus waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                                     Clock& clock, std::uint32_t& rxBytes);
};

// Text shown after the call's label in a driver error box; empty above 17.
std::string driverStatusText(FtStatus status);

class MessageSink;
// Shows "label - text..." in an error box; status 0 shows nothing. Advice, when given, follows
// in a paragraph of its own.
void ReportDriverError(MessageSink& sink, const std::string& label, FtStatus status,
                       const std::string& advice = {});

}  // namespace qe
