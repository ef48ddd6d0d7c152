#include "zero_at_current_position.h"

#include "register_map.h"

namespace qe::ui {

ZeroChange zeroAtCurrentPosition(AdapterLink& link) {
    using Outcome = ZeroChange::Outcome;
    namespace fields = chip::fields;

    if (!link.ReadOutputRegisters(link.ChipAddress)) return {Outcome::NoPosition};
    const std::uint16_t position = chip::fieldValue(link.image(), fields::AbsPos);

    const RegisterRead current = link.ReadRegister(link.ChipAddress, fields::Zin.word);
    if (!current.ok) return {Outcome::Failed};
    const std::uint16_t word = chip::withField(current.word, fields::Zin, position);
    if (!link.WriteRegister(link.ChipAddress, fields::Zin.word, word)) return {Outcome::Failed};

    // The chip took the word; when its read-back is lost, the word written is what it holds.
    const RegisterRead readBack = link.ReadRegister(link.ChipAddress, fields::Zin.word);
    return {Outcome::Done, chip::fieldValue(readBack.ok ? readBack.word : word, fields::Zin)};
}

}  // namespace qe::ui
