#include "field_catalogue.h"

#include <algorithm>
#include <cctype>

#include "arguments.h"
#include "readout.h"
#include "register_image.h"

namespace qe::cli {

namespace {

bool sameBits(const chip::Field& a, const chip::Field& b) {
    return a.word == b.word && a.firstBit == b.firstBit && a.width == b.width;
}

// The panel's radio group that changes this field.
const chip::SettingGroup* groupOf(const chip::Field& field) {
    for (const chip::SettingGroup& group : chip::settingGroups())
        if (sameBits(group.field, field)) return &group;
    return nullptr;
}

WorkingField setting(const char* name, chip::Field field) {
    return {name, field, FieldKind::Setting, groupOf(field)};
}

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

std::string withoutDegreeSign(const std::string& text) {
    const std::string sign = chip::kDegreeSign;
    if (text.size() >= sign.size() && text.ends_with(sign))
        return text.substr(0, text.size() - sign.size());
    return text;
}

std::string quoted(const std::string& text) {
    return text.find_first_of(" ,") == std::string::npos ? text : "\"" + text + "\"";
}

FieldChoice refused(const WorkingField& field, const std::string& text, const std::string& valid) {
    return {-1, 0, std::string(field.name) + " takes " + valid + ", not '" + text + "'"};
}

FieldChoice parseSettingValue(const WorkingField& field, const std::string& text) {
    const chip::SettingGroup& group = *field.group;
    const std::string typed = lowered(text);
    for (std::size_t item = 0; item < group.items.size(); ++item) {
        const std::string caption = lowered(group.items[item]);
        if (typed == caption || typed == withoutDegreeSign(caption)) {
            const int index = static_cast<int>(item);
            return {index, chip::valueForItem(group.mapping, index), {}};
        }
    }
    std::string texts;
    std::string values;
    for (std::size_t item = 0; item < group.items.size(); ++item) {
        const int index = static_cast<int>(item);
        texts += (texts.empty() ? "" : ", ") + quoted(group.items[item]);
        values +=
            (values.empty() ? "" : ", ") + std::to_string(chip::valueForItem(group.mapping, index));
    }
    const std::string valid = texts + " or a raw value " + values;
    const auto number = parseInteger(text);
    if (!number) return refused(field, text, valid);
    for (std::size_t item = 0; item < group.items.size(); ++item) {
        const int index = static_cast<int>(item);
        if (chip::valueForItem(group.mapping, index) == *number)
            return {index, static_cast<std::uint16_t>(*number), {}};
    }
    return refused(field, text, valid);
}

FieldChoice parseNumber(const WorkingField& field, const std::string& text) {
    const int maximum = field.field.maxValue();
    const auto number = parseInteger(text);
    if (!number || *number > maximum)
        return refused(field, text, "a number from 0 to " + std::to_string(maximum));
    const auto value = static_cast<std::uint16_t>(*number);
    return {field.kind == FieldKind::Hysteresis ? value : -1, value, {}};
}

}  // namespace

const std::vector<WorkingField>& workingFields() {
    namespace f = chip::fields;
    static const std::vector<WorkingField> list{
        {"ADDR", f::ADDR, FieldKind::Address},
        setting("Reg35", f::Reg35),
        setting("Pdee", f::Pdee),
        setting("Pdtr", f::Pdtr),
        setting("AGCdis", f::AGCdis),
        setting("Pdint", f::Pdint),
        {"Zin", f::Zin, FieldKind::ZeroPosition},
        setting("Sign", f::Sign),
        {"MONAGC", f::MONAGC, FieldKind::ReadOnly},
        setting("BufSel", f::BufSel),
        setting("Abridis", f::Abridis),
        {"Hyst", f::Hyst, FieldKind::Hysteresis},
        setting("Res", f::Res),
        setting("UVW", f::UVW),
        setting("Sth", f::Sth),
        setting("SSIcfg", f::SSIcfg),
        setting("Dac", f::Dac),
        setting("Dact", f::Dact),
    };
    return list;
}

const WorkingField* findWorkingField(std::string_view name) {
    const std::string wanted = lowered(name);
    for (const WorkingField& field : workingFields())
        if (lowered(field.name) == wanted) return &field;
    return nullptr;
}

std::string fieldNameList() {
    std::string names;
    for (const WorkingField& field : workingFields())
        names += (names.empty() ? "" : ", ") + std::string(field.name);
    return names;
}

chip::Field eepromCopy(chip::Field field) {
    field.word = static_cast<std::uint8_t>(field.word - kFirstWorkingWord);
    return field;
}

FieldValue decodeField(const WorkingField& field, std::uint16_t word) {
    const std::uint16_t value = chip::fieldValue(word, field.field);
    switch (field.kind) {
        case FieldKind::Setting: {
            const int item = chip::itemForValue(field.group->mapping, value);
            return {value, field.group->items.at(static_cast<std::size_t>(item))};
        }
        case FieldKind::Hysteresis:
            return {value, chip::hysteresisItemText(value)};
        case FieldKind::Address:
        case FieldKind::ZeroPosition:
        case FieldKind::ReadOnly:
            break;
    }
    return {value, std::to_string(value)};
}

FieldChoice parseFieldValue(const WorkingField& field, const std::string& text) {
    switch (field.kind) {
        case FieldKind::Setting:
            return parseSettingValue(field, text);
        case FieldKind::ReadOnly:
            return {-1, 0, std::string(field.name) + " is shown but never changed"};
        case FieldKind::Address:
        case FieldKind::ZeroPosition:
        case FieldKind::Hysteresis:
            break;
    }
    return parseNumber(field, text);
}

}  // namespace qe::cli
