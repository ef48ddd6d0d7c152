#include "qe7204_chip.h"

#include <algorithm>
#include <cmath>

namespace qe::sim {

namespace {
struct Bits {
    std::uint8_t word;
    std::uint8_t first;
    std::uint8_t width;
    std::uint16_t of(const RegisterImage& words) const {
        return static_cast<std::uint16_t>((words[word] >> first) & ((1u << width) - 1u));
    }
};

constexpr Bits kAddr{48, 0, 7};
constexpr Bits kAgcDisabled{48, 14, 1};
constexpr Bits kZin{49, 0, 12};
constexpr Bits kSign{49, 12, 1};
constexpr Bits kHyst{50, 0, 7};
constexpr Bits kSth{51, 6, 3};

constexpr std::uint16_t kPositionAlarm = 1u << 15;  // words 32 and 33
constexpr unsigned kMagnetStatusShift = 13;         // word 34
constexpr std::uint16_t kTachoAlarm = 1u << 10;     // word 35
constexpr unsigned kAgcGainShift = 12;              // word 35
constexpr std::uint16_t kTachoFullScale = 1024;
// With its AGC switched off the chip holds the gain at mid-scale.
constexpr std::uint8_t kFixedGain = 8;

std::uint16_t circularDistance(std::uint16_t a, std::uint16_t b) {
    const auto d = static_cast<std::uint16_t>((a - b) & 0x0FFF);
    return std::min<std::uint16_t>(d, static_cast<std::uint16_t>(kCountsPerTurn - d));
}
}  // namespace

Qe7204Chip::Qe7204Chip(VirtualMagnet& magnet, const Eeprom& eeprom) : magnet_(magnet) {
    std::copy(eeprom.begin(), eeprom.end(), eeprom_.begin());
}

std::uint8_t Qe7204Chip::address() const {
    return static_cast<std::uint8_t>((powered_ ? words_[kAddr.word] : eeprom_[0]) & 0x7F);
}

void Qe7204Chip::powerUp() {
    words_.fill(0);
    std::copy_n(eeprom_.begin(), kWorkingWordCount, words_.begin() + kFirstWorkingWord);
    heldPosition_.reset();
    powered_ = true;
}

void Qe7204Chip::powerDown() {
    words_.fill(0);
    heldPosition_.reset();
    powered_ = false;
}

bool Qe7204Chip::write(std::uint8_t reg, std::uint16_t value) {
    if (!powered_) return false;
    if (const auto watched = changeableBits_.find(reg); watched != changeableBits_.end()) {
        const std::uint16_t held = reg < kEepromWordCount ? eeprom_[reg] : words_[reg];
        if ((value ^ held) & ~watched->second) ++staleWrites_;
    }
    if (reg < kEepromWordCount) {
        eeprom_[reg] = value;
        return true;
    }
    if (reg >= kFirstWorkingWord && reg < words_.size()) {
        words_[reg] = value;
        return true;
    }
    return false;
}

std::uint16_t Qe7204Chip::read(std::uint8_t reg, std::int64_t atNs) {
    if (reg >= words_.size()) return 0;
    if (reg < kEepromWordCount) return eeprom_[reg];
    if (reg >= kFirstOutputWord && reg < kFirstOutputWord + kOutputWordCount)
        return outputWord(reg, atNs);
    return words_[reg];
}

RegisterImage Qe7204Chip::readAll(std::int64_t atNs) {
    RegisterImage image{};
    for (std::uint8_t reg = 0; reg < image.size(); ++reg) image[reg] = read(reg, atNs);
    return image;
}

std::uint16_t Qe7204Chip::eepromWord(std::uint8_t index) const {
    return index < eeprom_.size() ? eeprom_[index] : 0;
}

void Qe7204Chip::setEepromWord(std::uint8_t index, std::uint16_t value) {
    if (index < eeprom_.size()) eeprom_[index] = value;
}

std::uint16_t Qe7204Chip::positionWithHysteresis(std::int64_t atNs) {
    const auto raw = magnet_.positionAt(atNs);
    // The reported position follows the magnet only once it has moved more than Hyst counts.
    if (!heldPosition_ || circularDistance(raw, *heldPosition_) > kHyst.of(words_))
        heldPosition_ = raw;
    return *heldPosition_;
}

std::uint16_t Qe7204Chip::outputWord(std::uint8_t reg, std::int64_t atNs) {
    const auto status = magnet_.status();
    const bool positionValid = status == MagnetStatus::InRange;
    switch (reg - kFirstOutputWord) {
        case 0: {  // RelPos: counted from Zin, in the direction that Sign chooses
            const auto abs = positionWithHysteresis(atNs);
            const auto zin = kZin.of(words_);
            const auto rel =
                static_cast<std::uint16_t>((kSign.of(words_) ? zin - abs : abs - zin) & 0x0FFF);
            return static_cast<std::uint16_t>(rel | (positionValid ? 0 : kPositionAlarm));
        }
        case 1:  // AbsPos
            return static_cast<std::uint16_t>(positionWithHysteresis(atNs) |
                                              (positionValid ? 0 : kPositionAlarm));
        case 2:  // MagnetStatus
            return static_cast<std::uint16_t>(static_cast<unsigned>(status) << kMagnetStatusShift);
        default: {  // Tacho and AgcGain
            const double rangeHz = static_cast<double>(2048u >> kSth.of(words_));
            const double counts =
                std::floor(std::fabs(magnet_.speed()) / rangeHz * kTachoFullScale);
            const bool overRange = counts >= kTachoFullScale;
            const auto tacho = static_cast<std::uint16_t>(overRange ? kTachoFullScale - 1 : counts);
            const auto gain = kAgcDisabled.of(words_) ? kFixedGain : magnet_.agcGainAt(atNs);
            return static_cast<std::uint16_t>(tacho | (overRange ? kTachoAlarm : 0) |
                                              (gain << kAgcGainShift));
        }
    }
}

}  // namespace qe::sim
