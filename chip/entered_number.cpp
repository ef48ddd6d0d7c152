#include "entered_number.h"

#include <algorithm>

namespace qe::chip {

EnteredNumber parseEntered(std::string_view text) {
    constexpr unsigned kCeiling = 1'000'000;
    EnteredNumber entered{true, text.empty(), 0};
    // Bytes of other scripts' digits (UTF-8) lie outside '0'..'9' and are refused too.
    for (const char c : text) {
        if (c < '0' || c > '9') return {false, false, 0};
        entered.value = std::min(entered.value * 10 + static_cast<unsigned>(c - '0'), kCeiling);
    }
    return entered;
}

}  // namespace qe::chip
