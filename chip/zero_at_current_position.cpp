#include "zero_at_current_position.h"

#include "field_change.h"
#include "register_map.h"

namespace qe::chip {

std::optional<std::uint16_t> zeroAtCurrentPosition(AdapterLink& link,
                                                   const std::string& failureMessage) {
    if (!link.ReadOutputRegisters(link.ChipAddress)) return std::nullopt;
    const FieldChange change =
        changeField(link, fields::Zin, fieldValue(link.image(), fields::AbsPos));
    if (!change) {
        link.messages().show(MessageKind::Error, failureMessage);
        return std::nullopt;
    }
    return fieldValue(change.word, fields::Zin);
}

}  // namespace qe::chip
