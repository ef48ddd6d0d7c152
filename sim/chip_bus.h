#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "qe7204_chip.h"
#include "virtual_magnet.h"

namespace qe::sim {

// The chip bus behind the adapter: zero, one or several QE7204 chips sharing one supply and
// one magnet. Only powered chips answer; chips sharing an address answer as one (the first
// one added speaks for them).
class ChipBus {
public:
    explicit ChipBus(VirtualMagnet& magnet) : magnet_(magnet) {}

    // A chip with the typical configuration at that address (or with the given EEPROM words).
    // On a powered bus it powers up at once.
    Qe7204Chip& addChip(std::uint8_t address);
    Qe7204Chip& addChip(const Qe7204Chip::Eeprom& eeprom);
    // Removes every chip at that address (working address when powered, else its EEPROM's);
    // false when there was none.
    bool removeChip(std::uint8_t address);
    void removeAllChips() { chips_.clear(); }

    std::size_t chipCount() const { return chips_.size(); }
    Qe7204Chip& chip(std::size_t index) { return *chips_.at(index); }
    // The chip that answers at that address, or nullptr (no chip there, or the bus unpowered).
    Qe7204Chip* answering(std::uint8_t address);

    void setPowered(bool on);
    bool powered() const { return powered_; }

    // The addresses that answer a scan, ascending, each once; empty when unpowered.
    std::vector<std::uint8_t> scan() const;

private:
    VirtualMagnet& magnet_;
    std::vector<std::unique_ptr<Qe7204Chip>> chips_;
    bool powered_ = false;
};

}  // namespace qe::sim
