#include "output.h"

#include <QJsonDocument>

namespace qe::cli {

QJsonObject versioned(QJsonObject object) {
    object.insert("format", kJsonFormat);
    return object;
}

void Output::document(const QJsonObject& object) {
    out_ << QJsonDocument(versioned(object)).toJson(QJsonDocument::Indented).toStdString();
}

void Output::jsonLine(const QJsonObject& object) {
    out_ << QJsonDocument(versioned(object)).toJson(QJsonDocument::Compact).toStdString() << '\n';
}

QJsonValue jsonText(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace qe::cli
