#include "output.h"

#include <QJsonDocument>

namespace qe::cli {

void Output::document(const QJsonObject& object) {
    out_ << QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

void Output::jsonLine(const QJsonObject& object) {
    out_ << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() << '\n';
}

QJsonValue jsonText(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace qe::cli
