#include "adapter_firmware.h"

#include <algorithm>
#include <cstdio>

#include "adapter_commands.h"
#include "register_image.h"

namespace qe::sim {

namespace {
static_assert(AdapterFirmware::kEndOfList >= kScanEndMarker,
              "the host must see the end of the list");

std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char buffer[8];
    for (auto byte : bytes) {
        std::snprintf(buffer, sizeof buffer, "%s0x%02X", text.empty() ? "" : " ", byte);
        text += buffer;
    }
    return text;
}

std::string formatted(const char* pattern, unsigned a = 0, unsigned b = 0, unsigned c = 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c);
    return buffer;
}
}  // namespace

AdapterFirmware::AdapterFirmware(ChipBus& bus, Transcript& transcript, std::string device)
    : bus_(bus), transcript_(transcript), device_(std::move(device)) {}

void AdapterFirmware::restart() {
    frame_.clear();
    busyUntilNs_ = 0;
    parameters_ = 0;
    bus_.setPowered(false);
}

void AdapterFirmware::refuseEveryNthWrite(unsigned n) {
    refuseEvery_ = n;
    writesCounted_ = 0;
}

void AdapterFirmware::acceptAllWrites() {
    refusedRegisters_.clear();
    refuseEveryNthWrite(0);
}

std::optional<AdapterFirmware::Reply> AdapterFirmware::receive(std::uint8_t byte,
                                                               std::int64_t atNs) {
    if (!frame_.empty() && atNs - lastByteNs_ > kFrameGapNs) drop(lastByteNs_);
    lastByteNs_ = atNs;
    frame_.push_back(byte);
    const auto length = expectedLength();
    if (length == 0 || frame_.size() < length) return std::nullopt;
    auto reply = execute(atNs);
    if (reply) reply->frame = frame_;
    frame_.clear();
    return reply;
}

std::size_t AdapterFirmware::expectedLength() const {
    switch (frame_.front()) {
        case kCmdRegister:
            if (frame_.size() < 2) return 0;
            return (frame_[1] & kReadBit) ? 3 : 5;
        case kCmdReadAll:
        case kCmdReadOutputs:
            return 2;
        case kCmdScanBus:
            return 1;
        case kCmdAdapter:
            return 3;
        default:
            return 1;  // unknown: complete at once, and execute() drops it
    }
}

std::optional<AdapterFirmware::Reply> AdapterFirmware::execute(std::int64_t atNs) {
    const auto address = static_cast<std::uint8_t>(frame_.size() > 1 ? frame_[1] >> 1 : 0);
    switch (frame_.front()) {
        case kCmdRegister:
            if (frame_.size() == 3) {
                log(atNs, Transcript::Kind::Frame, formatted("R %u %u", address, frame_[2]));
                return readWords(address, frame_[2], 1, atNs);
            }
            return writeRegister(address, frame_[2],
                                 static_cast<std::uint16_t>(frame_[3] << 8 | frame_[4]), atNs);
        case kCmdReadAll:
            log(atNs, Transcript::Kind::Frame, formatted("readAll %u", address));
            return readWords(address, 0, kRegisterCount, atNs);
        case kCmdReadOutputs:
            log(atNs, Transcript::Kind::Frame, formatted("readOutputs %u", address));
            return readWords(address, kFirstOutputWord, kOutputWordCount, atNs);
        case kCmdScanBus: {
            log(atNs, Transcript::Kind::Frame, "scan");
            auto bytes = bus_.scan();
            bytes.push_back(kEndOfList);
            return replyAt(std::move(bytes), atNs);
        }
        case kCmdAdapter:
            return adapterCommand(atNs);
        default:
            drop(atNs);
            return std::nullopt;
    }
}

std::optional<AdapterFirmware::Reply> AdapterFirmware::writeRegister(std::uint8_t address,
                                                                     std::uint8_t reg,
                                                                     std::uint16_t value,
                                                                     std::int64_t atNs) {
    log(atNs, Transcript::Kind::Frame, formatted("W %u %u 0x%04X", address, reg, value));
    auto* chip = bus_.answering(address);
    if (writeRefused(reg) || !chip || !chip->write(reg, value))
        return replyAt({kWriteRefused}, atNs);
    const bool eeprom = reg < kEepromWordCount;
    return replyAt({kWriteAck}, atNs, eeprom ? eepromWriteNs_ : 0);
}

std::optional<AdapterFirmware::Reply> AdapterFirmware::readWords(std::uint8_t address,
                                                                 std::uint8_t first,
                                                                 std::size_t count,
                                                                 std::int64_t atNs) {
    std::vector<std::uint8_t> bytes(count * 2, kOpenBus);
    if (auto* chip = bus_.answering(address)) {
        for (std::size_t i = 0; i < count; ++i) {
            const auto word = chip->read(static_cast<std::uint8_t>(first + i), atNs);
            bytes[2 * i] = static_cast<std::uint8_t>(word >> 8);
            bytes[2 * i + 1] = static_cast<std::uint8_t>(word & 0xFF);
        }
    }
    return replyAt(std::move(bytes), atNs);
}

std::optional<AdapterFirmware::Reply> AdapterFirmware::adapterCommand(std::int64_t atNs) {
    const auto argument = frame_[2];
    switch (frame_[1]) {
        case kSubSupply:
            log(atNs, Transcript::Kind::Frame, argument != kSupplyOff ? "power on" : "power off");
            bus_.setPowered(argument != kSupplyOff);
            return std::nullopt;
        case kSubQuerySupply:
            log(atNs, Transcript::Kind::Frame, "query power");
            return replyAt({static_cast<std::uint8_t>(bus_.powered() ? 1 : 0)}, atNs);
        case kSubParameters:
            log(atNs, Transcript::Kind::Frame, formatted("params 0x%02X", argument));
            parameters_ = argument;
            return replyAt({argument}, atNs);
        default:
            drop(atNs);
            return std::nullopt;
    }
}

bool AdapterFirmware::writeRefused(std::uint8_t reg) {
    ++writesCounted_;
    const bool nth = refuseEvery_ != 0 && writesCounted_ % refuseEvery_ == 0;
    return nth || refusedRegisters_.contains(reg);
}

AdapterFirmware::Reply AdapterFirmware::replyAt(std::vector<std::uint8_t> bytes, std::int64_t atNs,
                                                std::int64_t processingNs) {
    // The firmware does one thing at a time: a reply waits for the work before it.
    const auto ready = std::max(atNs, busyUntilNs_) + processingNs;
    busyUntilNs_ = ready;
    return Reply{std::move(bytes), ready, {}};
}

void AdapterFirmware::log(std::int64_t atNs, Transcript::Kind kind, std::string text) {
    transcript_.add(atNs, device_, kind, std::move(text));
}

void AdapterFirmware::drop(std::int64_t atNs) {
    log(atNs, Transcript::Kind::Note, "dropped " + hexBytes(frame_));
    frame_.clear();
}

}  // namespace qe::sim
