#pragma once

#include <QJsonObject>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "field_catalogue.h"
#include "output.h"
#include "register_image.h"

namespace qe::cli {

// The eight working words 48..55 as the chip or a file holds them; a short file lacks the
// last ones.
using ConfigurationWords = std::array<std::optional<std::uint16_t>, kWorkingWordCount>;

ConfigurationWords workingWords(const RegisterImage& image);
// EEPROM words 0..7, which hold the stored copy of 48..55.
ConfigurationWords eepromWords(const RegisterImage& image);

// One line of a configuration shown or compared: a field, or a whole word.
struct ConfigurationRow {
    std::string name;  // "Res", or "word48"
    std::optional<FieldValue> left;
    std::optional<FieldValue> right;
    bool differs = false;
};

// Every field of words 48..51, then the raw words 48..55.
std::vector<ConfigurationRow> configurationRows(const ConfigurationWords& left,
                                                const ConfigurationWords& right);
std::vector<ConfigurationRow> configurationRows(const ConfigurationWords& words);

// Aligned columns: a '*' before rows that differ, the name, the left value, the right one.
// Without right-hand words only the left column is printed.
void printConfiguration(Output& output, const std::vector<ConfigurationRow>& rows,
                        const std::vector<std::string>& headings, bool onlyDifferences);

// {"fields": {"Res": {"<left>": {"value", "text"}, "<right>": ..., "differs"}}, "words": {...}}
QJsonObject configurationJson(const std::vector<ConfigurationRow>& rows, const QString& leftKey,
                              const QString& rightKey = {});

}  // namespace qe::cli
