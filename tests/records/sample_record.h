#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace qe::records::test {

// A unit's record shaped as `qe7204ctl program --record` writes it.
struct SampleUnit {
    QString started = "2026-12-10T08:00:00.000Z";
    QString adapter = "QE000001";
    QString golden = "golden.qcf";
    QString failedStep;  // empty: passed
    QString reason;
    double firstHarmonic = 1.5;  // magnet figures; < 0: no magnet check
    double agcMean = 50.0;
};

inline QJsonObject sampleRecord(const SampleUnit& u) {
    const bool passed = u.failedStep.isEmpty();
    QJsonArray written;
    QJsonArray working;
    QJsonArray eeprom;
    for (int i = 0; i < 8; ++i) {
        written.append(0x100 + i);
        working.append(0x100 + i);
        eeprom.append(0x100 + i);
    }
    QJsonArray steps;
    for (const char* name :
         {"golden", "adapter", "chip", "load", "prog", "verify", "magnet-check"}) {
        const bool failedHere = !passed && u.failedStep == name;
        steps.append(QJsonObject{
            {"step", name}, {"result", failedHere ? "failed" : "ok"}, {"duration_ms", 120}});
        if (failedHere) break;
    }
    QJsonValue magnet = QJsonValue::Null;
    if (u.firstHarmonic >= 0)
        magnet = QJsonObject{{"verdict", u.firstHarmonic < 5 ? "good" : "bad"},
                             {"error_first_harmonic_counts", u.firstHarmonic},
                             {"error_second_harmonic_counts", 0.4},
                             {"agc_mean", u.agcMean},
                             {"chip_address", 0},
                             {"advice", "none"}};
    return {
        {"format", 1},
        {"tool", "qe7204ctl"},
        {"tool_version", "1.0.0.1"},
        {"started", u.started},
        {"adapter", QJsonObject{{"serial", u.adapter}, {"backend", "d2xx"}}},
        {"chip_address", 0},
        {"golden", QJsonObject{{"file", u.golden}, {"sha256", QString(64, 'a')}}},
        {"words", QJsonObject{{"written", written},
                              {"eeprom_words_written", 8},
                              {"read_back", QJsonObject{{"working", working}, {"eeprom", eeprom}}},
                              {"after_power_cycle", QJsonValue::Null}}},
        {"steps", steps},
        {"magnet", magnet},
        {"log",
         QJsonObject{
             {"file", "unit.csv"}, {"asked", 100}, {"readings", 100}, {"rows", 100}, {"gaps", 0}}},
        {"result", passed ? "pass" : "fail"},
        {"exit_status", passed ? 0 : 5},
        {"failed_step", passed ? QJsonValue::Null : QJsonValue(u.failedStep)},
        {"reason", passed ? QJsonValue::Null : QJsonValue(u.reason)}};
}

}  // namespace qe::records::test
