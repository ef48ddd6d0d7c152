#pragma once

#include <QJsonObject>

#include <string>
#include <vector>

#include "configuration_comparison.h"
#include "output.h"

namespace qe::cli {

using chip::ConfigurationWords;

// One line of a configuration shown or compared: a field, or a whole word ("word48").
using ConfigurationRow = chip::ComparedRow;

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
