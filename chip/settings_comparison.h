#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qe::chip {

// Four words with the layouts of the working registers 48..51 (or their EEPROM copies 0..3,
// or the first four words of a .qcf file).
using SettingsWords = std::array<std::uint16_t, 4>;

// One field of two sets of settings side by side, as the settings panel would show each.
struct ComparedSetting {
    std::string field;  // "ADDR", "Reg35", ...; "Word 48 bits without a field" for the rest
    std::string left;
    std::string right;
    bool differs = false;
};

// Every field in the order of the words and their bits. Radio-group fields read as the
// panel's item texts, with the value added where the item does not say it exactly (SSIcfg 2);
// ADDR and Zin in decimal, Hyst as its list item. Bits without a field get a row only where
// they differ.
std::vector<ComparedSetting> compareSettings(const SettingsWords& left, const SettingsWords& right);

// The settings part of a register image: words first..first+3.
template <typename Image>
SettingsWords settingsWords(const Image& image, std::size_t first) {
    return {image[first], image[first + 1], image[first + 2], image[first + 3]};
}

}  // namespace qe::chip
