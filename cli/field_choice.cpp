#include "field_choice.h"

#include "arguments.h"
#include "readout.h"

namespace qe::cli {

namespace {

std::string withoutDegreeSign(const std::string& text) {
    const std::string sign = chip::kDegreeSign;
    if (text.size() >= sign.size() && text.ends_with(sign))
        return text.substr(0, text.size() - sign.size());
    return text;
}

std::string quoted(const std::string& text) {
    return text.find_first_of(" ,") == std::string::npos ? text : "\"" + text + "\"";
}

FieldChoice refused(const chip::WorkingField& field, const std::string& text,
                    const std::string& valid) {
    return {-1, 0, std::string(field.key) + " takes " + valid + ", not '" + text + "'"};
}

FieldChoice parseSettingValue(const chip::SettingGroup& field, const std::string& text) {
    const std::string typed = chip::lowered(text);
    for (std::size_t item = 0; item < field.items.size(); ++item) {
        const std::string caption = chip::lowered(field.items[item]);
        if (typed == caption || typed == withoutDegreeSign(caption)) {
            const int index = static_cast<int>(item);
            return {index, chip::valueForItem(field.mapping, index), {}};
        }
    }
    std::string texts;
    std::string values;
    for (std::size_t item = 0; item < field.items.size(); ++item) {
        const int index = static_cast<int>(item);
        texts += (texts.empty() ? "" : ", ") + quoted(field.items[item]);
        values +=
            (values.empty() ? "" : ", ") + std::to_string(chip::valueForItem(field.mapping, index));
    }
    const std::string valid = texts + " or a raw value " + values;
    const auto number = parseInteger(text);
    if (!number) return refused(field, text, valid);
    for (std::size_t item = 0; item < field.items.size(); ++item) {
        const int index = static_cast<int>(item);
        if (chip::valueForItem(field.mapping, index) == *number)
            return {index, static_cast<std::uint16_t>(*number), {}};
    }
    return refused(field, text, valid);
}

FieldChoice parseNumber(const chip::WorkingField& field, const std::string& text) {
    const int maximum = field.field.maxValue();
    const auto number = parseInteger(text);
    if (!number || *number > maximum)
        return refused(field, text, "a number from 0 to " + std::to_string(maximum));
    const auto value = static_cast<std::uint16_t>(*number);
    return {field.kind == chip::FieldKind::Hysteresis ? value : -1, value, {}};
}

}  // namespace

FieldChoice parseFieldValue(const chip::WorkingField& field, const std::string& text) {
    switch (field.kind) {
        case chip::FieldKind::Setting:
            return parseSettingValue(field, text);
        case chip::FieldKind::ReadOnly:
            return {-1, 0, std::string(field.key) + " is shown but never changed"};
        case chip::FieldKind::Address:
        case chip::FieldKind::ZeroPosition:
        case chip::FieldKind::Hysteresis:
            break;
    }
    return parseNumber(field, text);
}

}  // namespace qe::cli
