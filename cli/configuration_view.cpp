#include "configuration_view.h"

#include <algorithm>

namespace qe::cli {

namespace {

constexpr const char* kWordPrefix = "word";

std::string shown(const std::optional<chip::FieldValue>& value) {
    return value ? value->text : "-";
}

// Display width of UTF-8 text: the degree sign is one column.
std::size_t columns(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string padded(const std::string& text, std::size_t width) {
    const std::size_t used = columns(text);
    return used >= width ? text : text + std::string(width - used, ' ');
}

QJsonValue valueJson(const std::optional<chip::FieldValue>& value) {
    if (!value) return QJsonValue::Null;
    return QJsonObject{{"value", value->value}, {"text", jsonText(value->text)}};
}

}  // namespace

std::vector<ConfigurationRow> configurationRows(const ConfigurationWords& left,
                                                const ConfigurationWords& right) {
    const chip::ConfigurationComparison comparison = chip::compareConfigurations(left, right);
    std::vector<ConfigurationRow> rows = comparison.fields;
    for (ConfigurationRow word : comparison.words) {
        word.name = kWordPrefix + word.name;
        rows.push_back(std::move(word));
    }
    return rows;
}

std::vector<ConfigurationRow> configurationRows(const ConfigurationWords& words) {
    std::vector<ConfigurationRow> rows = configurationRows(words, words);
    for (ConfigurationRow& row : rows) row.right.reset();
    return rows;
}

void printConfiguration(Output& output, const std::vector<ConfigurationRow>& rows,
                        const std::vector<std::string>& headings, bool onlyDifferences) {
    std::size_t nameWidth = columns(headings.at(0));
    std::size_t leftWidth = headings.size() > 1 ? columns(headings[1]) : 0;
    for (const ConfigurationRow& row : rows) {
        nameWidth = std::max(nameWidth, columns(row.name));
        leftWidth = std::max(leftWidth, columns(shown(row.left)));
    }
    const bool twoSides = headings.size() > 2;
    std::string heading = "  " + padded(headings[0], nameWidth + 2);
    heading += twoSides ? padded(headings[1], leftWidth + 2) + headings[2] : headings.at(1);
    output.line(heading);
    for (const ConfigurationRow& row : rows) {
        if (onlyDifferences && !row.differs) continue;
        std::string text =
            (row.differs && twoSides ? "* " : "  ") + padded(row.name, nameWidth + 2);
        text +=
            twoSides ? padded(shown(row.left), leftWidth + 2) + shown(row.right) : shown(row.left);
        output.line(text);
    }
}

QJsonObject configurationJson(const std::vector<ConfigurationRow>& rows, const QString& leftKey,
                              const QString& rightKey) {
    QJsonObject fields;
    QJsonObject words;
    for (const ConfigurationRow& row : rows) {
        QJsonObject entry{{leftKey, valueJson(row.left)}};
        if (!rightKey.isEmpty()) {
            entry.insert(rightKey, valueJson(row.right));
            entry.insert("differs", row.differs);
        }
        const bool isWord = row.name.rfind(kWordPrefix, 0) == 0;
        (isWord ? words : fields)
            .insert(QString::fromStdString(isWord ? row.name.substr(4) : row.name), entry);
    }
    return {{"fields", fields}, {"words", words}};
}

}  // namespace qe::cli
