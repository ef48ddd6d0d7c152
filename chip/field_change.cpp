#include "field_change.h"

namespace qe::chip {

FieldChange changeField(AdapterLink& link, std::uint8_t address, Field field, std::uint16_t value) {
    const RegisterRead current = link.ReadRegister(address, field.word);
    if (!current) return {};
    const std::uint16_t word = withField(current.word, field, value);
    if (!link.WriteRegister(address, field.word, word)) return {false, true, current.word};
    if (const RegisterRead readBack = link.ReadRegister(address, field.word))
        return {true, true, readBack.word};
    link.image()[field.word] = word;
    return {true, true, word};
}

}  // namespace qe::chip
