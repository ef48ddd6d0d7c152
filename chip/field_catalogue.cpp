#include "field_catalogue.h"

#include <algorithm>
#include <cctype>

#include "messages.h"
#include "readout.h"

namespace qe::chip {

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

const std::vector<WorkingField>& workingFields() {
    using enum ItemMapping;
    using enum FieldKind;
    static const std::vector<WorkingField> table{
        // Word 48
        {"ADDR", fields::ADDR, Address},
        {"Reg35", fields::Reg35, Setting, Inverted, {"3.3 V", "3 V"}, messages::kReg35Failed},
        {"Pdee",
         fields::Pdee,
         Setting,
         Flag,
         {"Disabled", "Enabled"},
         messages::kPdeeFailed,
         Derived::None,
         {{"Pdtr", 1}}},
        {"Pdtr",
         fields::Pdtr,
         Setting,
         Identity,
         {"1:128", "1:256", "1:512", "1:1024"},
         messages::kPdtrFailed},
        {"AGCdis", fields::AGCdis, Setting, Flag, {"Enabled", "Disabled"}, messages::kAgcDisFailed},
        {"Pdint", fields::Pdint, Setting, Flag, {"Enabled", "Disabled"}, messages::kPdintFailed},
        // Word 49
        {"Zin", fields::Zin, ZeroPosition},
        {"Sign", fields::Sign, Setting, Flag, {"CW", "CCW"}, messages::kSignFailed},
        {"MONAGC", fields::MONAGC, ReadOnly},
        {"BufSel",
         fields::BufSel,
         Setting,
         Flag,
         {"UVW, tacho dir", "Sinusoidal diff."},
         messages::kBufSelFailed,
         Derived::None,
         {{"UVW", 0}}},
        {"Abridis",
         fields::Abridis,
         Setting,
         Flag,
         {"Enabled", "Disabled"},
         messages::kAbriDisFailed},
        // Word 50
        {"Hyst", fields::Hyst, Hysteresis},
        // Word 51
        {"Res",
         fields::Res,
         Setting,
         Identity,
         {"4096", "2048", "1024", "512", "256", "128", "64", "32"},
         messages::kResolutionFailed,
         Derived::Resolution},
        {"UVW",
         fields::UVW,
         Setting,
         Identity,
         {"1", "2", "3", "4", "5", "6", "7", "8"},
         messages::kUvwFailed},
        {"Sth",
         fields::Sth,
         Setting,
         Identity,
         {"2048", "1024", "512", "256", "128", "64", "32", "16"},
         messages::kSthFailed,
         Derived::TachoRange},
        {"SSIcfg",
         fields::SSIcfg,
         Setting,
         SsiConfig,
         {"Single data, no ring register", "Ring register, position not refreshed",
          "Ring register, position refreshed"},
         messages::kSsiFailed},
        {"Dac",
         fields::Dac,
         Setting,
         Identity,
         {"360\u00B0", "180\u00B0", "90\u00B0", "45\u00B0"},
         messages::kDacFailed},
        {"Dact",
         fields::Dact,
         Setting,
         Flag,
         {"Linear voltage", "Tacho"},
         messages::kDactFailed,
         Derived::None,
         {{"Dac", 0}, {"Sth", 1}}},
    };
    return table;
}

const WorkingField* findWorkingField(std::string_view name) {
    const std::string wanted = lowered(name);
    for (const WorkingField& field : workingFields())
        if (lowered(field.key) == wanted) return &field;
    return nullptr;
}

std::string fieldNameList() {
    std::string names;
    for (const WorkingField& field : workingFields())
        names += (names.empty() ? "" : ", ") + std::string(field.key);
    return names;
}

const std::vector<std::reference_wrapper<const SettingGroup>>& settingGroups() {
    static const std::vector<std::reference_wrapper<const SettingGroup>> groups = [] {
        std::vector<std::reference_wrapper<const SettingGroup>> settings;
        for (const WorkingField& field : workingFields())
            if (field.kind == FieldKind::Setting) settings.emplace_back(field);
        return settings;
    }();
    return groups;
}

const SettingGroup* findSettingGroup(std::string_view key) {
    for (const SettingGroup& group : settingGroups())
        if (key == group.key) return &group;
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

FieldValue decodeField(const WorkingField& field, std::uint16_t word) {
    const std::uint16_t value = fieldValue(word, field.field);
    switch (field.kind) {
        case FieldKind::Setting: {
            const int item = itemForValue(field.mapping, value);
            std::string text = field.items.at(static_cast<std::size_t>(item));
            // Two values that show the same item must not read the same.
            if (valueForItem(field.mapping, item) != value)
                text += " (value " + std::to_string(value) + ")";
            return {value, text};
        }
        case FieldKind::Hysteresis:
            return {value, hysteresisItemText(value)};
        case FieldKind::Address:
        case FieldKind::ZeroPosition:
        case FieldKind::ReadOnly:
            break;
    }
    return {value, std::to_string(value)};
}

Field eepromCopy(Field field) {
    field.word = static_cast<std::uint8_t>(field.word - kFirstWorkingWord);
    return field;
}

}  // namespace qe::chip
