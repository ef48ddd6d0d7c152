#include "settings_comparison.h"

#include <cstdio>

#include "readout.h"
#include "register_image.h"
#include "register_map.h"

namespace qe::chip {

namespace {

enum class Shown { Decimal, Hysteresis, Item };

struct ComparedField {
    const char* name;
    Field field;
    Shown shown;
};

// In the order of the words and their bits.
constexpr ComparedField kFields[] = {
    {"ADDR", fields::ADDR, Shown::Decimal},     {"Reg35", fields::Reg35, Shown::Item},
    {"Pdee", fields::Pdee, Shown::Item},        {"Pdtr", fields::Pdtr, Shown::Item},
    {"AGCdis", fields::AGCdis, Shown::Item},    {"Pdint", fields::Pdint, Shown::Item},
    {"Zin", fields::Zin, Shown::Decimal},       {"Sign", fields::Sign, Shown::Item},
    {"MONAGC", fields::MONAGC, Shown::Decimal}, {"BufSel", fields::BufSel, Shown::Item},
    {"Abridis", fields::Abridis, Shown::Item},  {"Hyst", fields::Hyst, Shown::Hysteresis},
    {"Res", fields::Res, Shown::Item},          {"UVW", fields::UVW, Shown::Item},
    {"Sth", fields::Sth, Shown::Item},          {"SSIcfg", fields::SSIcfg, Shown::Item},
    {"Dac", fields::Dac, Shown::Item},          {"Dact", fields::Dact, Shown::Item},
};

const SettingGroup* groupOf(Field field) {
    for (const SettingGroup& group : settingGroups())
        if (group.field.word == field.word && group.field.firstBit == field.firstBit) return &group;
    return nullptr;
}

std::uint16_t wordOf(const SettingsWords& words, Field field) {
    return words[static_cast<std::size_t>(field.word - kFirstWorkingWord)];
}

std::string valueText(const ComparedField& compared, std::uint16_t value) {
    switch (compared.shown) {
        case Shown::Decimal:
            return std::to_string(value);
        case Shown::Hysteresis:
            return hysteresisItemText(value);
        case Shown::Item:
            break;
    }
    const SettingGroup* group = groupOf(compared.field);
    if (!group) return std::to_string(value);
    const int item = itemForValue(group->mapping, value);
    std::string text = group->items.at(static_cast<std::size_t>(item));
    // Two values that show the same item must not read the same.
    if (valueForItem(group->mapping, item) != value)
        text += " (value " + std::to_string(value) + ")";
    return text;
}

std::string hexWord(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

}  // namespace

std::vector<ComparedSetting> compareSettings(const SettingsWords& left,
                                             const SettingsWords& right) {
    std::vector<ComparedSetting> rows;
    std::array<std::uint16_t, 4> fieldBits{};
    for (const ComparedField& compared : kFields) {
        const std::uint16_t a = fieldValue(wordOf(left, compared.field), compared.field);
        const std::uint16_t b = fieldValue(wordOf(right, compared.field), compared.field);
        rows.push_back({compared.name, valueText(compared, a), valueText(compared, b), a != b});
        fieldBits[static_cast<std::size_t>(compared.field.word - kFirstWorkingWord)] |=
            compared.field.mask();
    }
    for (std::size_t i = 0; i < fieldBits.size(); ++i) {
        const auto rest = static_cast<std::uint16_t>(~fieldBits[i]);
        const auto a = static_cast<std::uint16_t>(left[i] & rest);
        const auto b = static_cast<std::uint16_t>(right[i] & rest);
        if (a == b) continue;
        rows.push_back({"Word " + std::to_string(kFirstWorkingWord + i) + " bits without a field",
                        hexWord(a), hexWord(b), true});
    }
    return rows;
}

}  // namespace qe::chip
