#include "frame_text.h"

#include <cstdio>

#include "adapter_commands.h"
#include "register_image.h"

namespace qe {

namespace {

std::string format(const char* pattern, unsigned a = 0, unsigned b = 0, unsigned c = 0) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c);
    return buffer;
}

unsigned chipOf(std::uint8_t busByte) {
    return busByte >> 1;
}

std::string describeAdapterCommand(std::span<const std::uint8_t> frame) {
    if (frame.size() < 3) return "incomplete adapter command";
    switch (frame[1]) {
        case kSubSupply:
            return frame[2] != kSupplyOff ? "power on" : "power off";
        case kSubQuerySupply:
            return "query power";
        case kSubParameters:
            return format("adapter parameters %u/%u", frame[2] >> 4u, frame[2] & 0x0Fu);
        default:
            return format("adapter command %u %u", frame[1], frame[2]);
    }
}

std::string describeWords(std::span<const std::uint8_t> reply, unsigned firstWord) {
    std::string text;
    for (std::size_t i = 0; i + 1 < reply.size(); i += 2) {
        if (!text.empty()) text += ' ';
        text += format("%u:0x%04X", firstWord + static_cast<unsigned>(i / 2),
                       (reply[i] << 8u) | reply[i + 1]);
    }
    if (reply.size() % 2 != 0) text += text.empty() ? "half a word" : " and half a word";
    return text;
}

std::string describeScanReply(std::span<const std::uint8_t> reply) {
    std::string chips;
    bool ended = false;
    for (std::uint8_t byte : reply) {
        if (byte >= kScanEndMarker) {
            ended = true;
            continue;
        }
        chips += chips.empty() ? format("%u", byte) : format(" %u", byte);
    }
    std::string text = chips.empty() ? "no chips" : "chips " + chips;
    return ended ? text + ", end" : text;
}

}  // namespace

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) text += format(text.empty() ? "%02X" : " %02X", byte);
    return text;
}

std::string describeFrame(std::span<const std::uint8_t> frame) {
    if (frame.empty()) return "empty frame";
    switch (frame[0]) {
        case kCmdRegister:
            if (frame.size() == 3 && (frame[1] & kReadBit))
                return format("read chip %u register %u", chipOf(frame[1]), frame[2]);
            if (frame.size() == 5 && !(frame[1] & kReadBit))
                return format("write chip %u register %u = 0x%04X", chipOf(frame[1]), frame[2],
                              (frame[3] << 8u) | frame[4]);
            return "malformed register command";
        case kCmdReadAll:
            return frame.size() == 2 ? format("read all registers of chip %u", chipOf(frame[1]))
                                     : "malformed read-all command";
        case kCmdReadOutputs:
            return frame.size() == 2 ? format("read outputs of chip %u", chipOf(frame[1]))
                                     : "malformed read-outputs command";
        case kCmdScanBus:
            return "scan bus";
        case kCmdAdapter:
            return describeAdapterCommand(frame);
        default:
            return "unknown command";
    }
}

std::string describeReply(std::span<const std::uint8_t> frame,
                          std::span<const std::uint8_t> reply) {
    if (reply.empty()) return "nothing";
    const std::uint8_t command = frame.empty() ? 0 : frame[0];
    const bool registerRead = command == kCmdRegister && frame.size() >= 2 && (frame[1] & kReadBit);
    if (command == kCmdRegister && !registerRead) {
        if (reply.size() != 1) return "not an acknowledgement";
        return reply[0] != 0 ? "acknowledged" : "refused";
    }
    if (registerRead) {
        if (reply.size() != 2) return "not one word";
        return format("word 0x%04X", (reply[0] << 8u) | reply[1]);
    }
    if (command == kCmdReadAll)
        return format("%u bytes of registers", static_cast<unsigned>(reply.size()));
    if (command == kCmdReadOutputs) return describeWords(reply, kFirstOutputWord);
    if (command == kCmdScanBus) return describeScanReply(reply);
    if (command == kCmdAdapter && frame.size() >= 3 && reply.size() == 1) {
        if (frame[1] == kSubQuerySupply) return reply[0] != 0 ? "power is on" : "power is off";
        if (frame[1] == kSubParameters)
            return reply[0] == frame[2] ? "parameters echoed" : "parameters not echoed";
    }
    return "unexpected";
}

}  // namespace qe
