#pragma once

#include <cstdint>

#include "adapter_link.h"
#include "chip.h"

namespace qe::test {

// Puts a device object into the state a test starts from, and shows what only the core sees,
// without the exchanges that would lead there.
struct ChipAccess {
    static AdapterLink& link(chip::Chip& chip) { return chip.link_; }
    static RegisterImage& image(chip::Chip& chip) { return chip.image_; }
    static chip::DerivedValues& derived(chip::Chip& chip) { return chip.session_.derived(); }
    static void setChipAddress(chip::Chip& chip, std::uint8_t address) {
        chip.session_.setChipAddress(address);
    }
};

}  // namespace qe::test
