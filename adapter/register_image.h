#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qe {

inline constexpr std::size_t kRegisterCount = 56;

// The tool's mirror of the chip's 56 register words, index = register number. The
// adapter commands fill it; chip/ gives the words their meaning.
using RegisterImage = std::array<std::uint16_t, kRegisterCount>;

}  // namespace qe
