#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>

#include "register_image.h"
#include "virtual_magnet.h"

namespace qe::sim {

// One QE7204 on the bus: 56 register words, an EEPROM behind the register numbers below 32
// (words 0..7 hold the stored settings), the working configuration words 48..55 loaded from
// EEPROM words 0..7 at power-up, and the output words 32..35 made from the magnet.
//
// Words 8..31 are stored like the others but mean nothing; words 36..47 read 0. Writes to the
// output words, to 36..47 and to numbers above 55 are refused. Configuration words keep every
// bit as written (a chip that holds SSIcfg 2 keeps it).
class Qe7204Chip {
public:
    using Eeprom = std::array<std::uint16_t, kWorkingWordCount>;

    // A typical configuration: 3.3 V regulator, zero position 0, clockwise, hysteresis 1,
    // resolution 4096, one pole pair, tacho range 16 Hz, single-data SSI, linear voltage 360°.
    static constexpr Eeprom typicalEeprom(std::uint8_t address) {
        return {static_cast<std::uint16_t>(0x0100 | (address & 0x7F)),
                0x0000,
                0x0001,
                0x01C0,
                0x0000,
                0x0000,
                0x0000,
                0x0000};
    }

    Qe7204Chip(VirtualMagnet& magnet, const Eeprom& eeprom);

    // The bus address it answers at: word 48 bits 0..6 while powered, else the one it will
    // load from EEPROM word 0.
    std::uint8_t address() const;

    bool powered() const { return powered_; }
    void powerUp();    // loads the working words from EEPROM words 0..7
    void powerDown();  // working and output words are lost; the EEPROM keeps its words

    // False when the register cannot be written (the adapter then acknowledges with 0).
    // A write of word 48 changes the bus address at once.
    bool write(std::uint8_t reg, std::uint16_t value);
    // The word as the chip reports it at that time; output words come from the magnet.
    std::uint16_t read(std::uint8_t reg, std::int64_t atNs);
    RegisterImage readAll(std::int64_t atNs);

    // A write to `reg` that changes any bit outside `changeable` was formed from a word the
    // chip does not hold: a read-modify-write that took a stale or foreign word as this
    // register's. Such writes are counted (and still done).
    void watchWrites(std::uint8_t reg, std::uint16_t changeable) {
        changeableBits_[reg] = changeable;
    }
    std::uint64_t staleWrites() const { return staleWrites_; }

    // Direct access for tests and the control window; no bus traffic.
    std::uint16_t eepromWord(std::uint8_t index) const;  // index 0..31
    void setEepromWord(std::uint8_t index, std::uint16_t value);
    // A working configuration word (48..55) as it stands; 0 while unpowered.
    std::uint16_t workingWord(std::uint8_t reg) const {
        return reg < words_.size() ? words_[reg] : 0;
    }

private:
    std::uint16_t outputWord(std::uint8_t reg, std::int64_t atNs);
    std::uint16_t positionWithHysteresis(std::int64_t atNs);

    VirtualMagnet& magnet_;
    std::array<std::uint16_t, kEepromWordCount> eeprom_{};
    RegisterImage words_{};  // working words; the EEPROM range is read from eeprom_
    bool powered_ = false;
    std::optional<std::uint16_t> heldPosition_;  // last position reported, for the hysteresis
    std::map<std::uint8_t, std::uint16_t> changeableBits_;  // watched registers
    std::uint64_t staleWrites_ = 0;
};

}  // namespace qe::sim
