#pragma once

#include <cstdint>

#include "adapter_link.h"
#include "register_map.h"

namespace qe::chip {

struct FieldChange {
    bool written = false;
    bool wordRead = false;   // the chip reported its word; without it nothing was written
    std::uint16_t word = 0;  // what the chip now holds, as the image has it
    explicit operator bool() const { return written; }
};

// Changes one field in the chip at `address` by read-modify-write: reads the word, writes
// it back with the field replaced and every other bit as read, and on success reads it back.
// Nothing is written unless the word came from the chip. When the read-back is lost, the
// image takes the word written, which the chip acknowledged.
FieldChange changeField(AdapterLink& link, std::uint8_t address, Field field, std::uint16_t value);

}  // namespace qe::chip
