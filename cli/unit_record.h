#pragma once

#include <QJsonObject>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "configuration_view.h"

namespace qe::cli {

// What `program` did to one unit, for the line's records: written as one JSON document,
// whether the unit passed or not.
struct UnitRecord {
    struct Step {
        std::string name;  // "golden", "adapter", "chip", "load", "prog", "verify", ...
        bool ok = false;
        std::int64_t durationMs = 0;
    };
    // The chip's words as read back: working registers 48..55 and EEPROM words 0..7.
    struct ReadBack {
        ConfigurationWords working{};
        ConfigurationWords eeprom{};
    };
    struct Log {
        std::string file;
        long long asked = 0;
        long long readings = 0;
        long long rows = 0;
        long long gaps = 0;
    };

    std::string toolVersion;
    std::string started;  // UTC, ISO 8601
    std::string adapterSerial;
    std::string adapterBackend;
    std::optional<int> chipAddress;
    std::string goldenFile;
    std::string goldenSha256;                   // empty until the file was read whole
    std::optional<ConfigurationWords> written;  // the golden file's words
    std::optional<int> eepromWordsWritten;      // prog: EEPROM words 0..N-1 acknowledged
    std::optional<ReadBack> readBack;
    std::optional<ReadBack> afterPowerCycle;
    std::vector<Step> steps;
    std::optional<QJsonObject> magnet;  // the magnet check's report
    std::optional<Log> log;
    int exitStatus = 0;
    std::string failedStep;  // empty when the unit passed
    std::string reason;
};

QJsonObject unitRecordJson(const UnitRecord& record);

// Lower-case hex, as sha256sum prints it.
std::string sha256Hex(const std::vector<std::uint8_t>& bytes);

}  // namespace qe::cli
