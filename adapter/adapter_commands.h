#pragma once

#include <cstdint>

namespace qe {

// The byte command set of the adapter's firmware: what the tool sends and the simulated
// adapter understands.
inline constexpr std::uint8_t kCmdRegister = 'Y';     // register write, or read with the read bit
inline constexpr std::uint8_t kCmdReadAll = 'W';      // all 56 register words
inline constexpr std::uint8_t kCmdReadOutputs = 'V';  // the four output registers
inline constexpr std::uint8_t kCmdScanBus = 'X';      // addresses of the chips on the bus
inline constexpr std::uint8_t kCmdAdapter = 'Z';      // adapter sub-command, then one argument byte

// Sub-commands of kCmdAdapter.
inline constexpr std::uint8_t kSubParameters = 2;
inline constexpr std::uint8_t kSubSupply = 3;
inline constexpr std::uint8_t kSubQuerySupply = 4;
inline constexpr std::uint8_t kSupplyOn = 255;
inline constexpr std::uint8_t kSupplyOff = 0;

// Every adapter carries this text somewhere in its USB description.
inline constexpr const char* kAdapterDescription = "QE7204 interface";

// Chips answer at 7-bit bus addresses.
inline constexpr int kBusAddressCount = 128;

// A chip goes on the wire as its 7-bit address shifted left, with this bit set for a read.
inline constexpr std::uint8_t kReadBit = 1;
// In a scan reply this byte or any above it ends the address list.
inline constexpr std::uint8_t kScanEndMarker = kBusAddressCount;

constexpr std::uint8_t busByte(std::uint8_t chipAddress, bool read) {
    return static_cast<std::uint8_t>((chipAddress << 1) | (read ? kReadBit : 0));
}

}  // namespace qe
