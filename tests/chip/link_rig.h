#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "adapter_link.h"
#include "adapter_link_access.h"
#include "chip_session.h"
#include "clock.h"
#include "recording_sink.h"
#include "scripted_driver.h"

namespace qe::chip {

// Outcomes by name in a failed expectation.
inline void PrintTo(Outcome outcome, std::ostream* out) {
    static constexpr const char* kNames[] = {"Done",         "InputRefused", "NoReply",
                                             "WriteRefused", "NotVerified",  "FileFailed",
                                             "NoChip",       "TooManyChips"};
    *out << kNames[static_cast<int>(outcome)];
}

}  // namespace qe::chip

namespace qe::chip::test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kChip = 5;
inline constexpr std::uint16_t kUntouched = 0xBEEF;

// An adapter link with an open adapter over a scripted driver, and a session with the chip
// at address 5; every image word starts as kUntouched.
struct LinkRig {
    LinkRig() {
        qe::test::AdapterLinkAccess::setAdapterHandle(link, 0x1000);
        session.setChipAddress(kChip);
        image.fill(kUntouched);
    }
    // One reply for each frame in turn; an empty one is no reply at all.
    void replies(const std::vector<Bytes>& bytes) {
        for (const Bytes& reply : bytes) driver.replyToNextWrite(reply);
    }
    // The adapter answers the first `frames` frames and is unplugged as the next is sent;
    // a negative count leaves it plugged in.
    void unplugAfter(int frames) {
        if (frames >= 0) driver.unplugAfterFrames(frames);
    }
    // How the operation ended, and what the user was shown: the message as an error box and
    // as the result's reason, or neither when the operation fails silently (nullptr).
    void expectEnded(const Result& result, Outcome outcome, const char* message) const {
        EXPECT_EQ(result.outcome, outcome);
        EXPECT_EQ(result.reason, message ? message : "");
        std::vector<std::pair<MessageKind, std::string>> shown;
        if (message) shown.emplace_back(MessageKind::Error, message);
        EXPECT_EQ(sink.shown, shown);
    }

    ManualClock clock;
    qe::test::ScriptedDriver driver{clock};
    qe::test::RecordingSink sink;
    RegisterImage image{};
    AdapterLink link{driver, clock, sink, image};
    ChipSession session{link};
};

inline Bytes readFrame(std::uint8_t reg, std::uint8_t address = kChip) {
    return {'Y', static_cast<std::uint8_t>(address * 2 + 1), reg};
}
inline Bytes writeFrame(std::uint8_t reg, std::uint16_t word, std::uint8_t address = kChip) {
    return {'Y', static_cast<std::uint8_t>(address * 2), reg, static_cast<std::uint8_t>(word >> 8),
            static_cast<std::uint8_t>(word & 0xFF)};
}
inline Bytes readAllFrame(std::uint8_t address = kChip) {
    return {'W', static_cast<std::uint8_t>(address * 2)};
}
inline Bytes outputsFrame(std::uint8_t address = kChip) {
    return {'V', static_cast<std::uint8_t>(address * 2)};
}

// Replies: a write taken or refused, nothing at all, one register word.
inline const Bytes kAck{1};
inline const Bytes kRefused{0};
inline const Bytes kSilence{};
inline Bytes wordReply(std::uint16_t word) {
    return {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)};
}
// The reply to a read of all 56 registers: every word zero but those given.
inline Bytes allRegistersReply(
    std::initializer_list<std::pair<std::uint8_t, std::uint16_t>> words) {
    Bytes bytes(112, 0);
    for (const auto& [reg, word] : words) {
        bytes[2 * reg] = static_cast<std::uint8_t>(word >> 8);
        bytes[2 * reg + 1] = static_cast<std::uint8_t>(word & 0xFF);
    }
    return bytes;
}

}  // namespace qe::chip::test
