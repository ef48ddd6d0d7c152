#include "version.h"

namespace qe {

namespace {
constexpr int kVersionFields = 4;
}

// The build's version may carry zero-padded fields (a packager's build number "007"); the
// text shows each field as the number it is.
std::string FourFieldVersion(std::string_view dotted) {
    std::string text;
    for (int field = 0; field < kVersionFields; ++field) {
        const std::size_t dot = dotted.find('.');
        std::string_view digits = dotted.substr(0, dot);
        dotted = dot == std::string_view::npos ? std::string_view() : dotted.substr(dot + 1);
        const std::size_t significant = digits.find_first_not_of('0');
        digits = significant == std::string_view::npos ? std::string_view("0")
                                                       : digits.substr(significant);
        if (field > 0) text += '.';
        text += digits;
    }
    return text;
}

std::string FileVersionString() {
    return FourFieldVersion(QE7204_VERSION);
}

}  // namespace qe
