#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qe {

// Readable texts of the adapter's command frames and their replies, for traces.

// What a frame asks, e.g. "write chip 5 register 48 = 0x0205", "scan bus", "power on".
std::string describeFrame(std::span<const std::uint8_t> frame);

// What bytes received after `frame` say, e.g. "acknowledged", "word 0x0205", "chips 5, end".
// A reply may come in pieces; each piece is described on its own.
std::string describeReply(std::span<const std::uint8_t> frame, std::span<const std::uint8_t> reply);

// "59 0A 30": the bytes in hexadecimal, separated by blanks.
std::string hexBytes(std::span<const std::uint8_t> bytes);

}  // namespace qe
