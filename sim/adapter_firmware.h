#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "chip_bus.h"
#include "transcript.h"

namespace qe::sim {

// The adapter's microcontroller: takes the host's bytes one by one as they come off the
// serial line, decodes the frames 'Y', 'W', 'V', 'X' and 'Z', talks to the chip bus and
// produces the replies.
//
// When no chip answers at the address, a write is acknowledged with 0 and a read gets a full
// reply of 0xFF bytes, as an open bus with its pull-ups reads; the tool learns whether a chip
// is there from the bus scan. An unknown command byte is dropped and the next byte starts a
// frame again; a frame whose next byte does not come within kFrameGapNs is abandoned.
class AdapterFirmware {
public:
    static constexpr std::uint8_t kWriteAck = 0x01;
    static constexpr std::uint8_t kWriteRefused = 0x00;
    static constexpr std::uint8_t kOpenBus = 0xFF;
    static constexpr std::uint8_t kEndOfList = 0xFF;
    static constexpr std::int64_t kEepromWriteNs = 5'000'000;
    // The firmware's receive time-out: a fragment of a cut write does not swallow the next frame.
    static constexpr std::int64_t kFrameGapNs = 50'000'000;

    struct Reply {
        std::vector<std::uint8_t> bytes;
        std::int64_t readyNs = 0;         // when the firmware starts sending it
        std::vector<std::uint8_t> frame;  // the frame it answers
    };

    AdapterFirmware(ChipBus& bus, Transcript& transcript, std::string device);

    // One byte from the host, arrived at that time. Returns the reply when the byte completed
    // a frame that has one.
    std::optional<Reply> receive(std::uint8_t byte, std::int64_t atNs);

    // Power-on state: no partial frame, chip supply off.
    void restart();
    // 0 makes EEPROM writes acknowledge at once (unit tests).
    void setEepromWriteNs(std::int64_t ns) { eepromWriteNs_ = ns; }

    bool supplyOn() const { return bus_.powered(); }
    std::uint8_t parameters() const { return parameters_; }

    // Refusals: the write is not done and acknowledged with 0.
    void refuseWritesTo(std::uint8_t reg) { refusedRegisters_.insert(reg); }
    void refuseEveryNthWrite(unsigned n);  // 0 turns it off
    void acceptAllWrites();

private:
    std::size_t expectedLength() const;  // 0 while the first bytes do not tell yet
    std::optional<Reply> execute(std::int64_t atNs);
    std::optional<Reply> writeRegister(std::uint8_t address, std::uint8_t reg, std::uint16_t value,
                                       std::int64_t atNs);
    std::optional<Reply> readWords(std::uint8_t address, std::uint8_t first, std::size_t count,
                                   std::int64_t atNs);
    std::optional<Reply> adapterCommand(std::int64_t atNs);  // supply and parameter sub-commands
    bool writeRefused(std::uint8_t reg);
    Reply replyAt(std::vector<std::uint8_t> bytes, std::int64_t atNs,
                  std::int64_t processingNs = 0);
    void log(std::int64_t atNs, Transcript::Kind kind, std::string text);
    void drop(std::int64_t atNs);

    ChipBus& bus_;
    Transcript& transcript_;
    std::string device_;
    std::vector<std::uint8_t> frame_;
    std::int64_t lastByteNs_ = 0;
    std::int64_t busyUntilNs_ = 0;
    std::int64_t eepromWriteNs_ = kEepromWriteNs;
    std::uint8_t parameters_ = 0;
    std::set<std::uint8_t> refusedRegisters_;
    unsigned refuseEvery_ = 0;
    unsigned writesCounted_ = 0;
};

}  // namespace qe::sim
