#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qe {

inline constexpr std::size_t kRegisterCount = 56;

// Register numbers below this are EEPROM words; the chip needs time to store a write to one.
inline constexpr std::size_t kEepromWordCount = 32;
// The output words: relative position, absolute position, magnet status, tacho and AGC.
inline constexpr std::uint8_t kFirstOutputWord = 32;
inline constexpr std::size_t kOutputWordCount = 4;
// The working configuration words, loaded from EEPROM words 0..7 at power-up.
inline constexpr std::uint8_t kFirstWorkingWord = 48;
inline constexpr std::size_t kWorkingWordCount = 8;

// The tool's mirror of the chip's 56 register words, index = register number. The
// adapter commands fill it; chip/ gives the words their meaning.
using RegisterImage = std::array<std::uint16_t, kRegisterCount>;

}  // namespace qe
