#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "field_catalogue.h"
#include "register_image.h"

namespace qe::chip {

// Eight words with the layouts of the working registers 48..55: the registers themselves, their
// EEPROM copies 0..7, or the first words of a .qcf file (a short file lacks the last ones).
using ConfigurationWords = std::array<std::optional<std::uint16_t>, kWorkingWordCount>;

ConfigurationWords workingWords(const RegisterImage& image);
ConfigurationWords eepromWords(const RegisterImage& image);

// One line of two configurations side by side. A side that lacks the word has no value.
struct ComparedRow {
    std::string name;
    std::optional<FieldValue> left;
    std::optional<FieldValue> right;
    bool differs = false;
};

// Two configurations compared once for every front end, each showing the parts it needs.
struct ConfigurationComparison {
    // Every catalogue field, in its order, as decodeField shows it. It differs when the values
    // differ or only one side has the word.
    std::vector<ComparedRow> fields;
    // "Word 48 bits without a field": for each of words 48..51 whose bits outside every field
    // differ (both sides having the word), those bits as 0xHHHH. PROG stores whole words.
    std::vector<ComparedRow> bitsWithoutAField;
    // Words 48..55 whole as 0xHHHH, named by their number ("48").
    std::vector<ComparedRow> words;
};

ConfigurationComparison compareConfigurations(const ConfigurationWords& left,
                                              const ConfigurationWords& right);

}  // namespace qe::chip
