#include "ftdi_driver.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "message_sink.h"

namespace qe {

namespace {
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

void ReportDriverError(MessageSink& sink, const std::string& label, FtStatus status,
                       const std::string& advice) {
    if (status == FT_OK) return;
    std::string text = label + driverStatusText(status);
    if (!advice.empty()) text += "\n\n" + advice;
    sink.show(MessageKind::Critical, text);
}

}  // namespace qe
