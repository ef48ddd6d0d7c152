#include "field_change.h"

namespace qe::chip {

FieldChange changeField(AdapterLink& link, Field field, std::uint16_t value) {
    const std::uint8_t address = link.ChipAddress;
    const RegisterRead current = link.ReadRegister(address, field.word);
    if (!current) return {};
    const std::uint16_t word = withField(current.word, field, value);
    if (!link.WriteRegister(address, field.word, word)) return {};
    if (const RegisterRead readBack = link.ReadRegister(address, field.word))
        return {true, readBack.word};
    link.image()[field.word] = word;
    return {true, word};
}

}  // namespace qe::chip
