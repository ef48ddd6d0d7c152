#pragma once

#include <cstdint>

#include "adapter_link.h"

namespace qe::ui {

// Result of making the chip's current absolute position its zero position.
struct ZeroChange {
    enum class Outcome {
        NoPosition,  // the output registers could not be read: nothing was written
        Failed,      // the zero position could not be written
        Done,
    };
    Outcome outcome = Outcome::NoPosition;
    std::uint16_t zin = 0;  // the zero position the chip now holds (Done only)
};

// Reads the outputs, then word 49, and writes it back with Zin = AbsPos and the other bits
// as the chip holds them; on success reads it back. A word 49 that could not be read is
// never written, since its other bits would be guesses.
ZeroChange zeroAtCurrentPosition(AdapterLink& link);

}  // namespace qe::ui
