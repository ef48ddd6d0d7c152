#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "adapter_link.h"

namespace qe::chip {

// Makes the chip's current absolute position its zero position: reads the output registers,
// then changes Zin to AbsPos as read, whatever the resolution, direction or present zero.
// Returns the zero position the chip now holds. An output read that fails ends it without a
// word; a change that fails shows failureMessage. Neither returns anything.
std::optional<std::uint16_t> zeroAtCurrentPosition(AdapterLink& link,
                                                   const std::string& failureMessage);

}  // namespace qe::chip
