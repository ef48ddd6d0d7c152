#pragma once

#include <cstdint>
#include "register_image.h"

namespace qe::chip {

// Positions (RelPos, AbsPos) are 12-bit: this many counts a turn, whatever resolution is set.
inline constexpr int kCountsPerTurn = 4096;

// The shortest way round from one position to the next, in counts (-2048..2047): a turn is
// taken as less than half a revolution between two readouts.
constexpr int wrappedStep(int from, int to) {
    int step = (to - from) % kCountsPerTurn;
    if (step >= kCountsPerTurn / 2) step -= kCountsPerTurn;
    if (step < -kCountsPerTurn / 2) step += kCountsPerTurn;
    return step;
}

// Where a field sits: register word, first (least significant) bit, number of bits.
struct Field {
    std::uint8_t word;
    std::uint8_t firstBit;
    std::uint8_t width;

    constexpr std::uint16_t mask() const {
        return static_cast<std::uint16_t>(((1u << width) - 1u) << firstBit);
    }
    constexpr std::uint16_t maxValue() const {
        return static_cast<std::uint16_t>((1u << width) - 1u);
    }
};

// Where the bits of every field sit, named as the chip's data sheet names them. The fields of
// words 48..51 are described for showing and changing in field_catalogue.h.
namespace fields {
// Word 48 (EEPROM copy: word 0)
inline constexpr Field ADDR{48, 0, 7};
inline constexpr Field Reg35{48, 8, 1};
inline constexpr Field Pdee{48, 9, 1};
inline constexpr Field Pdtr{48, 10, 2};
inline constexpr Field AGCdis{48, 14, 1};
inline constexpr Field Pdint{48, 15, 1};
// Word 49 (EEPROM copy: word 1)
inline constexpr Field Zin{49, 0, 12};
inline constexpr Field Sign{49, 12, 1};
inline constexpr Field MONAGC{49, 13, 1};
inline constexpr Field BufSel{49, 14, 1};
inline constexpr Field Abridis{49, 15, 1};
// Word 50 (EEPROM copy: word 2)
inline constexpr Field Hyst{50, 0, 7};
// Word 51 (EEPROM copy: word 3)
inline constexpr Field Res{51, 0, 3};
inline constexpr Field UVW{51, 3, 3};
inline constexpr Field Sth{51, 6, 3};
inline constexpr Field SSIcfg{51, 11, 2};
inline constexpr Field Dac{51, 13, 2};
inline constexpr Field Dact{51, 15, 1};
// Output words 32..35
inline constexpr Field RelPos{32, 0, 12};
inline constexpr Field RelPosAlarm{32, 15, 1};
inline constexpr Field AbsPos{33, 0, 12};
inline constexpr Field AbsPosAlarm{33, 15, 1};
inline constexpr Field MagnetStatus{34, 13, 2};
inline constexpr Field MagnetStatusHigh{34, 14, 1};  // also counts as one sixteenth of AGC
inline constexpr Field Tacho{35, 0, 10};
inline constexpr Field TachoAlarm{35, 10, 1};
inline constexpr Field AgcGain{35, 12, 4};
}  // namespace fields

// The hysteresis choices: one per value of Hyst.
inline constexpr int kHysteresisItemCount = 128;

constexpr std::uint16_t fieldValue(std::uint16_t word, Field field) {
    return static_cast<std::uint16_t>((word & field.mask()) >> field.firstBit);
}

// The word with the field replaced by value; every other bit kept. Value bits beyond the
// field's width are dropped so they can never spill into a neighbouring field.
constexpr std::uint16_t withField(std::uint16_t word, Field field, std::uint16_t value) {
    return static_cast<std::uint16_t>((word & ~field.mask()) |
                                      ((value << field.firstBit) & field.mask()));
}

inline std::uint16_t fieldValue(const RegisterImage& image, Field field) {
    return fieldValue(image[field.word], field);
}

// How a radio group's item index relates to the field value.
enum class ItemMapping {
    Identity,   // item = value
    Flag,       // one-bit field: shown as item = value; item 1 sets it, any other item clears it
    Inverted,   // one-bit field, item 0 = value 1 (Reg35)
    SsiConfig,  // three items over the four values of SSIcfg
};

int itemForValue(ItemMapping mapping, std::uint16_t value);
// A negative item (no selection) writes 0, never a run of set bits.
std::uint16_t valueForItem(ItemMapping mapping, int item);

// Values derived from the resolution and tacho-range fields. Only the field's bits count.
int resolutionCounts(std::uint16_t res);  // 4096 >> Res
int resolutionBits(std::uint16_t res);    // 12 - Res
double tachoRangeHz(std::uint16_t sth);   // 2048 >> Sth

// The derived values as the program holds them; all zero until the panel is first filled.
struct DerivedValues {
    int ResolutionCounts = 0;
    int ResolutionBits = 0;
    double TachoRangeHz = 0.0;
};

// What the derived value follows when its group changes.
enum class Derived { None, Resolution, TachoRange };

// Sets the derived value that follows `which` from the field value; None changes nothing.
void updateDerived(DerivedValues& derived, Derived which, std::uint16_t value);

}  // namespace qe::chip
