#pragma once

#include <string_view>

namespace qe::chip {

// A number typed into a field: only the ASCII digits count as digits.
struct EnteredNumber {
    bool digitsOnly = true;
    bool empty = true;
    unsigned value = 0;  // stops growing far above any field's range
};

EnteredNumber parseEntered(std::string_view text);

}  // namespace qe::chip
