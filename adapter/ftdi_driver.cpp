#include "ftdi_driver.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "clock.h"
#include "message_sink.h"

namespace qe {

namespace {

// Pause between looks at the receive queue: short enough for millisecond limits, long enough
// that waiting does not keep a core busy. Close to the deadline the looks go on without
// sleeping, since a sleep that overshoots would let bytes that came in time count as late.
// The kernel adds its timer slack (50 us by default on Linux) to every sleep, so asking for
// 150 us keeps each pause within 0.2 ms.
constexpr std::int64_t kQueueLookPauseNs = 150'000;
constexpr std::int64_t kNoSleepBeforeDeadlineNs = 200'000;

std::string boundedText(const char* text, std::size_t size) {
    return std::string(text, strnlen(text, size));
}

template <std::size_t N>
void fillText(char (&dest)[N], const std::string& text) {
    std::memset(dest, 0, N);
    std::memcpy(dest, text.data(), std::min(text.size(), N));
}
}  // namespace

std::string DeviceInfoNode::serialNumber() const {
    return boundedText(SerialNumber, sizeof SerialNumber);
}

std::string DeviceInfoNode::description() const {
    return boundedText(Description, sizeof Description);
}

void DeviceInfoNode::setSerialNumber(const std::string& text) {
    fillText(SerialNumber, text);
}

void DeviceInfoNode::setDescription(const std::string& text) {
    fillText(Description, text);
}

std::string driverStatusText(FtStatus status) {
    static const std::array<const char*, 18> texts = {
        "",
        " - Invalid handle...",
        " - Device not found...",
        " - Device not opened...",
        " - General IO error...",
        " - Insufficient resources...",
        " - Invalid parameter...",
        " - Invalid baud rate...",
        " Device not opened for erase...",
        " Device not opened for write...",
        " - Failed to write...",
        " - EEPROM read failed...",
        " - EEPROM write failed...",
        " - EEPROM erase failed...",
        " - EEPROM not present...",
        " - EEPROM not programmed...",
        " - Invalid arguments...",
        " - Other error ...",
    };
    return status < texts.size() ? texts[status] : "";
}

FtStatus FtdiDriver::waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                                     Clock& clock, std::uint32_t& rxBytes) {
    for (;;) {
        const FtStatus status = getQueueStatus(handle, rxBytes);
        if (status != FT_OK || rxBytes >= count) return status;
        const std::int64_t untilDeadlineNs = deadlineNs - clock.nowNs();
        if (untilDeadlineNs <= 0) return FT_OK;
        if (untilDeadlineNs > kNoSleepBeforeDeadlineNs)
            clock.sleepNs(kQueueLookPauseNs);
        else
            clock.relax();
    }
}

void ReportDriverError(MessageSink& sink, const std::string& label, FtStatus status,
                       const std::string& advice) {
    if (status == FT_OK) return;
    sink.driverCallFailed(label, status);
    std::string text = label + driverStatusText(status);
    if (!advice.empty()) text += "\n\n" + advice;
    sink.show(MessageKind::Critical, text);
}

}  // namespace qe
