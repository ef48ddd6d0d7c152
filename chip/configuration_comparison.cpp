#include "configuration_comparison.h"

#include <cstdio>

namespace qe::chip {

namespace {

constexpr std::size_t kFieldWords = 4;  // 48..51 hold the fields; 52..55 are words only

std::string hexWord(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

std::optional<FieldValue> fieldOf(const WorkingField& field, const ConfigurationWords& words) {
    const auto& word = words.at(field.field.word - kFirstWorkingWord);
    if (!word) return std::nullopt;
    return decodeField(field, *word);
}

std::optional<FieldValue> wordOf(std::size_t index, const ConfigurationWords& words) {
    if (!words.at(index)) return std::nullopt;
    return FieldValue{*words[index], hexWord(*words[index])};
}

ComparedRow compared(std::string name, std::optional<FieldValue> left,
                     std::optional<FieldValue> right) {
    const bool differs =
        left.has_value() != right.has_value() || (left && right && left->value != right->value);
    return {std::move(name), std::move(left), std::move(right), differs};
}

}  // namespace

ConfigurationWords workingWords(const RegisterImage& image) {
    ConfigurationWords words;
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = image[kFirstWorkingWord + i];
    return words;
}

ConfigurationWords eepromWords(const RegisterImage& image) {
    ConfigurationWords words;
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = image[i];
    return words;
}

ConfigurationComparison compareConfigurations(const ConfigurationWords& left,
                                              const ConfigurationWords& right) {
    ConfigurationComparison comparison;
    std::array<std::uint16_t, kFieldWords> fieldBits{};
    for (const WorkingField& field : workingFields()) {
        comparison.fields.push_back(
            compared(field.key, fieldOf(field, left), fieldOf(field, right)));
        fieldBits.at(field.field.word - kFirstWorkingWord) |= field.field.mask();
    }
    for (std::size_t i = 0; i < kFieldWords; ++i) {
        if (!left[i] || !right[i]) continue;
        const auto rest = static_cast<std::uint16_t>(~fieldBits[i]);
        const auto a = static_cast<std::uint16_t>(*left[i] & rest);
        const auto b = static_cast<std::uint16_t>(*right[i] & rest);
        if (a == b) continue;
        comparison.bitsWithoutAField.push_back(
            compared("Word " + std::to_string(kFirstWorkingWord + i) + " bits without a field",
                     FieldValue{a, hexWord(a)}, FieldValue{b, hexWord(b)}));
    }
    for (std::size_t i = 0; i < left.size(); ++i)
        comparison.words.push_back(
            compared(std::to_string(kFirstWorkingWord + i), wordOf(i, left), wordOf(i, right)));
    return comparison;
}

}  // namespace qe::chip
