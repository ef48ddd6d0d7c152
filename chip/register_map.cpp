#include "register_map.h"

#include "messages.h"

#include <array>

namespace qe::chip {

namespace {

// SSIcfg has four values but three items: value 2 is shown like value 0 and never written.
constexpr std::array<int, 4> kSsiItemForValue{0, 1, 0, 2};
constexpr std::array<std::uint16_t, 3> kSsiValueForItem{0, 1, 3};

constexpr int kFullScaleCounts = 4096;
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
    return kFullScaleCounts >> (res & fields::Res.maxValue());
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

const std::vector<SettingGroup>& settingGroups() {
    using enum ItemMapping;
    static const std::vector<SettingGroup> groups{
        {"Reg35", fields::Reg35, Inverted, {"3.3 V", "3 V"}, messages::kReg35Failed},
        {"Pdee",
         fields::Pdee,
         Flag,
         {"Disabled", "Enabled"},
         messages::kPdeeFailed,
         Derived::None,
         {{"Pdtr", 1}}},
        {"Pdtr",
         fields::Pdtr,
         Identity,
         {"1:128", "1:256", "1:512", "1:1024"},
         messages::kPdtrFailed},
        {"AGCdis", fields::AGCdis, Flag, {"Enabled", "Disabled"}, messages::kAgcDisFailed},
        {"Pdint", fields::Pdint, Flag, {"Enabled", "Disabled"}, messages::kPdintFailed},
        {"Sign", fields::Sign, Flag, {"CW", "CCW"}, messages::kSignFailed},
        {"BufSel",
         fields::BufSel,
         Flag,
         {"UVW, tacho dir", "Sinusoidal diff."},
         messages::kBufSelFailed,
         Derived::None,
         {{"UVW", 0}}},
        {"Abridis", fields::Abridis, Flag, {"Enabled", "Disabled"}, messages::kAbriDisFailed},
        {"Res",
         fields::Res,
         Identity,
         {"4096", "2048", "1024", "512", "256", "128", "64", "32"},
         messages::kResolutionFailed,
         Derived::Resolution},
        {"UVW",
         fields::UVW,
         Identity,
         {"1", "2", "3", "4", "5", "6", "7", "8"},
         messages::kUvwFailed},
        {"Sth",
         fields::Sth,
         Identity,
         {"2048", "1024", "512", "256", "128", "64", "32", "16"},
         messages::kSthFailed,
         Derived::TachoRange},
        {"SSIcfg",
         fields::SSIcfg,
         SsiConfig,
         {"Single data, no ring register", "Ring register, position not refreshed",
          "Ring register, position refreshed"},
         messages::kSsiFailed},
        {"Dac",
         fields::Dac,
         Identity,
         {"360\u00B0", "180\u00B0", "90\u00B0", "45\u00B0"},
         messages::kDacFailed},
        {"Dact",
         fields::Dact,
         Flag,
         {"Linear voltage", "Tacho"},
         messages::kDactFailed,
         Derived::None,
         {{"Dac", 0}, {"Sth", 1}}},
    };
    return groups;
}

const SettingGroup* findSettingGroup(std::string_view key) {
    for (const SettingGroup& group : settingGroups()) {
        if (key == group.key) return &group;
    }
    return nullptr;
}

int itemShown(const SettingGroup& group, const RegisterImage& image) {
    return itemForValue(group.mapping, fieldValue(image, group.field));
}

std::uint16_t wordForItem(const SettingGroup& group, std::uint16_t word, int item) {
    return withField(word, group.field, valueForItem(group.mapping, item));
}

bool dependentEnabled(const DependentControl& dependent, int item) {
    return item == dependent.enablingItem;
}

}  // namespace qe::chip
