#include "power_down_pause.h"

namespace qe::chip {

namespace {
constexpr std::uint8_t kModeWord = fields::Pdee.word;
}

std::optional<std::uint16_t> pausePowerDown(AdapterLink& link, std::uint8_t address) {
    const RegisterRead original = link.ReadRegister(address, kModeWord);
    if (!original) return std::nullopt;
    if (powerDownOn(original.word)) {
        auto& image = link.image();
        image[kModeWord] = withPowerDown(original.word, false);
        link.WriteRegister(address, kModeWord, image[kModeWord]);
    }
    return original.word;
}

void resumePowerDown(AdapterLink& link, std::uint8_t address, bool succeeded,
                     std::uint16_t originalWord) {
    if (!powerDownOn(originalWord)) return;
    auto& image = link.image();
    if (!succeeded) {
        if (link.WriteRegister(address, kModeWord, originalWord)) image[kModeWord] = originalWord;
        return;
    }
    image[kModeWord] = withPowerDown(image[kModeWord], true);
    link.WriteRegister(address, kModeWord, image[kModeWord]);
}

}  // namespace qe::chip
