#include "unit_record.h"

#include <QCryptographicHash>
#include <QJsonArray>

#include "output.h"

namespace qe::cli {

namespace {

QJsonArray wordsJson(const ConfigurationWords& words) {
    QJsonArray array;
    for (const std::optional<std::uint16_t>& word : words)
        array.append(word ? QJsonValue(*word) : QJsonValue(QJsonValue::Null));
    return array;
}

QJsonObject readBackJson(const UnitRecord::ReadBack& words) {
    return {{"working", wordsJson(words.working)}, {"eeprom", wordsJson(words.eeprom)}};
}

template <typename T>
QJsonValue orNull(const std::optional<T>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

}  // namespace

QJsonObject unitRecordJson(const UnitRecord& r) {
    QJsonArray steps;
    for (const UnitRecord::Step& step : r.steps)
        steps.append(QJsonObject{{"step", jsonText(step.name)},
                                 {"result", step.ok ? "ok" : "failed"},
                                 {"duration_ms", static_cast<qint64>(step.durationMs)}});
    QJsonObject words{
        {"written", r.written ? QJsonValue(wordsJson(*r.written)) : QJsonValue::Null},
        {"eeprom_words_written", orNull(r.eepromWordsWritten)},
        {"read_back", r.readBack ? QJsonValue(readBackJson(*r.readBack)) : QJsonValue::Null},
        {"after_power_cycle",
         r.afterPowerCycle ? QJsonValue(readBackJson(*r.afterPowerCycle)) : QJsonValue::Null}};
    QJsonValue log = QJsonValue::Null;
    if (r.log)
        log = QJsonObject{{"file", jsonText(r.log->file)},
                          {"asked", r.log->asked},
                          {"readings", r.log->readings},
                          {"rows", r.log->rows},
                          {"gaps", r.log->gaps}};
    const bool passed = r.failedStep.empty();
    return {{"format", kJsonFormat},
            {"tool", "qe7204ctl"},
            {"tool_version", jsonText(r.toolVersion)},
            {"started", jsonText(r.started)},
            {"adapter", QJsonObject{{"serial", jsonText(r.adapterSerial)},
                                    {"backend", jsonText(r.adapterBackend)}}},
            {"chip_address", orNull(r.chipAddress)},
            {"golden", QJsonObject{{"file", jsonText(r.goldenFile)},
                                   {"sha256", r.goldenSha256.empty() ? QJsonValue(QJsonValue::Null)
                                                                     : jsonText(r.goldenSha256)}}},
            {"words", words},
            {"steps", steps},
            {"magnet", r.magnet ? QJsonValue(*r.magnet) : QJsonValue::Null},
            {"log", log},
            {"result", passed ? "pass" : "fail"},
            {"exit_status", r.exitStatus},
            {"failed_step", passed ? QJsonValue::Null : jsonText(r.failedStep)},
            {"reason", passed ? QJsonValue::Null : jsonText(r.reason)}};
}

std::string sha256Hex(const std::vector<std::uint8_t>& bytes) {
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().toStdString();
}

}  // namespace qe::cli
