#pragma once

#include <cstdint>
#include <string>

#include "field_catalogue.h"

namespace qe::cli {

// What `NAME=TEXT` asks for: for a Setting the item to choose, else the number to enter.
// The text is one of the panel's item texts (any letter case; the degree sign may be left
// out) or a number; for a Setting a number is the field's raw value, decimal or 0x-hex,
// and item texts win over numbers ("UVW=1" is one pole pair, "UVW=0x1" is raw value 1).
struct FieldChoice {
    int item = -1;
    std::uint16_t value = 0;
    std::string error;  // why the text is not a value of the field, with the valid ones
    bool ok() const { return error.empty(); }
};
FieldChoice parseFieldValue(const chip::WorkingField& field, const std::string& text);

}  // namespace qe::cli
