#pragma once

#include <cstdint>
#include <optional>

#include "adapter_link.h"
#include "register_map.h"

namespace qe::chip {

// The chip may not answer long exchanges in autonomous power-down mode (Pdee), so work of
// that kind holds the mode off and gives it back afterwards.

inline bool powerDownOn(std::uint16_t word) {
    return fieldValue(word, fields::Pdee) != 0;
}
inline std::uint16_t withPowerDown(std::uint16_t word, bool on) {
    return withField(word, fields::Pdee, on ? 1 : 0);
}

// Reads the word that holds the mode from the chip at `address` and, when the mode is on,
// writes the word back with it off (the image taking that word). Returns the word as read,
// for resumePowerDown; nothing when the chip did not report it, and then nothing is written.
std::optional<std::uint16_t> pausePowerDown(AdapterLink& link, std::uint8_t address);

// Gives the mode back when `originalWord` had it on; `address` is where the chip answers
// now. After work that succeeded, the image's word (as the work left it) gets the mode and
// goes to the chip. After a failure the chip gets `originalWord` back, all of the user's
// setting, and the image takes it only when the chip acknowledged it.
void resumePowerDown(AdapterLink& link, std::uint8_t address, bool succeeded,
                     std::uint16_t originalWord);

}  // namespace qe::chip
