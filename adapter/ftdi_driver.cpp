#include "ftdi_driver.h"

#include <array>
#include <cstring>

#include "message_sink.h"

namespace qe {

namespace {
std::string boundedText(const char* text, std::size_t size) {
    return std::string(text, strnlen(text, size));
}
}  // namespace

std::string DeviceInfoNode::serialNumber() const {
    return boundedText(SerialNumber, sizeof SerialNumber);
}

std::string DeviceInfoNode::description() const {
    return boundedText(Description, sizeof Description);
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

void ReportDriverError(MessageSink& sink, const std::string& label, FtStatus status) {
    if (status == FT_OK) return;
    sink.show(MessageKind::Critical, label + driverStatusText(status));
}

}  // namespace qe
