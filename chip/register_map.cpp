#include "register_map.h"

#include <array>

namespace qe::chip {

namespace {

// SSIcfg has four values but three items: value 2 is shown like value 0 and never written.
constexpr std::array<int, 4> kSsiItemForValue{0, 1, 0, 2};
constexpr std::array<std::uint16_t, 3> kSsiValueForItem{0, 1, 3};

constexpr int kFullScaleBits = 12;
constexpr int kTopTachoRangeHz = 2048;

}  // namespace

int itemForValue(ItemMapping mapping, std::uint16_t value) {
    switch (mapping) {
        case ItemMapping::Inverted:
            return value != 0 ? 0 : 1;
        case ItemMapping::SsiConfig:
            return kSsiItemForValue[value & 3u];
        case ItemMapping::Identity:
        case ItemMapping::Flag:
            break;
    }
    return value;
}

std::uint16_t valueForItem(ItemMapping mapping, int item) {
    switch (mapping) {
        case ItemMapping::Flag:
            return item == 1 ? 1 : 0;
        case ItemMapping::Inverted:
            return item == 0 ? 1 : 0;
        case ItemMapping::SsiConfig:
            return item >= 0 && item < static_cast<int>(kSsiValueForItem.size())
                       ? kSsiValueForItem[static_cast<std::size_t>(item)]
                       : 0;
        case ItemMapping::Identity:
            break;
    }
    return item > 0 ? static_cast<std::uint16_t>(item) : 0;
}

int resolutionCounts(std::uint16_t res) {
    return kCountsPerTurn >> (res & fields::Res.maxValue());
}

int resolutionBits(std::uint16_t res) {
    return kFullScaleBits - (res & fields::Res.maxValue());
}

double tachoRangeHz(std::uint16_t sth) {
    return static_cast<double>(kTopTachoRangeHz >> (sth & fields::Sth.maxValue()));
}

void updateDerived(DerivedValues& derived, Derived which, std::uint16_t value) {
    switch (which) {
        case Derived::Resolution:
            derived.ResolutionCounts = resolutionCounts(value);
            derived.ResolutionBits = resolutionBits(value);
            break;
        case Derived::TachoRange:
            derived.TachoRangeHz = tachoRangeHz(value);
            break;
        case Derived::None:
            break;
    }
}

}  // namespace qe::chip
