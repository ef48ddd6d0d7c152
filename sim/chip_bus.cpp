#include "chip_bus.h"

#include <algorithm>

namespace qe::sim {

Qe7204Chip& ChipBus::addChip(std::uint8_t address) {
    return addChip(Qe7204Chip::typicalEeprom(address));
}

Qe7204Chip& ChipBus::addChip(const Qe7204Chip::Eeprom& eeprom) {
    auto& chip = *chips_.emplace_back(std::make_unique<Qe7204Chip>(magnet_, eeprom));
    if (powered_) chip.powerUp();
    return chip;
}

bool ChipBus::removeChip(std::uint8_t address) {
    const auto before = chips_.size();
    std::erase_if(chips_, [address](const auto& chip) { return chip->address() == address; });
    return chips_.size() != before;
}

Qe7204Chip* ChipBus::answering(std::uint8_t address) {
    if (!powered_) return nullptr;
    for (auto& chip : chips_)
        if (chip->address() == address) return chip.get();
    return nullptr;
}

void ChipBus::setPowered(bool on) {
    if (on == powered_) return;
    powered_ = on;
    for (auto& chip : chips_) on ? chip->powerUp() : chip->powerDown();
}

std::vector<std::uint8_t> ChipBus::scan() const {
    std::vector<std::uint8_t> addresses;
    if (!powered_) return addresses;
    for (const auto& chip : chips_) addresses.push_back(chip->address());
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    return addresses;
}

}  // namespace qe::sim
