#include "record_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace qe::records::schema {

namespace {

// The same SQL runs on SQLite and PostgreSQL: texts for times (ISO 8601 UTC sorts as time),
// integers for truth values.
const std::vector<QStringList> kSteps = {
    // 1: units, their steps, the words written and read back, the magnet figures.
    {
        "CREATE TABLE qe7204_schema (version INTEGER NOT NULL)",
        "CREATE TABLE units ("
        " unit_id TEXT PRIMARY KEY,"
        " station TEXT NOT NULL,"
        " started TEXT NOT NULL,"
        " recorded TEXT NOT NULL,"
        " tool_version TEXT,"
        " adapter_serial TEXT,"
        " adapter_backend TEXT,"
        " chip_address INTEGER,"
        " golden_file TEXT,"
        " golden_sha256 TEXT,"
        " eeprom_words_written INTEGER,"
        " passed INTEGER NOT NULL,"
        " exit_status INTEGER NOT NULL,"
        " failed_step TEXT,"
        " reason TEXT,"
        " magnet_verdict TEXT,"
        " log_file TEXT,"
        " log_asked INTEGER,"
        " log_readings INTEGER,"
        " log_rows INTEGER,"
        " log_gaps INTEGER,"
        " record_json TEXT NOT NULL)",
        "CREATE TABLE unit_steps ("
        " unit_id TEXT NOT NULL REFERENCES units (unit_id),"
        " position INTEGER NOT NULL,"
        " step TEXT NOT NULL,"
        " ok INTEGER NOT NULL,"
        " duration_ms INTEGER NOT NULL,"
        " PRIMARY KEY (unit_id, position))",
        "CREATE TABLE unit_words ("
        " unit_id TEXT NOT NULL REFERENCES units (unit_id),"
        " kind TEXT NOT NULL,"
        " word INTEGER NOT NULL,"
        " value INTEGER,"
        " PRIMARY KEY (unit_id, kind, word))",
        "CREATE TABLE unit_magnet_figures ("
        " unit_id TEXT NOT NULL REFERENCES units (unit_id),"
        " figure TEXT NOT NULL,"
        " value DOUBLE PRECISION NOT NULL,"
        " PRIMARY KEY (unit_id, figure))",
        // The questions a line asks: by time, by station, by golden file, by adapter, failures.
        "CREATE INDEX units_started ON units (started)",
        "CREATE INDEX units_station ON units (station, started)",
        "CREATE INDEX units_golden ON units (golden_sha256, started)",
        "CREATE INDEX units_adapter ON units (adapter_serial, started)",
        "CREATE INDEX units_failures ON units (passed, failed_step)",
        "CREATE INDEX unit_magnet_figures_figure ON unit_magnet_figures (figure)",
        "INSERT INTO qe7204_schema (version) VALUES (0)",
    },
};

bool run(QSqlDatabase& db, const QString& statement, QString* error) {
    QSqlQuery query(db);
    if (query.exec(statement)) return true;
    if (error) *error = query.lastError().text();
    return false;
}

}  // namespace

int versionOf(QSqlDatabase& db, QString* error) {
    if (!db.tables().contains("qe7204_schema")) return db.tables().contains("units") ? -1 : 0;
    QSqlQuery query(db);
    if (!query.exec("SELECT MAX(version) FROM qe7204_schema") || !query.next()) {
        if (error) *error = query.lastError().text();
        return -1;
    }
    return query.value(0).toInt();
}

bool bringUpToDate(QSqlDatabase& db, QString* error) {
    QString why;
    const int version = versionOf(db, &why);
    if (version < 0) {
        if (error)
            *error = why.isEmpty() ? "the database holds a units table of another program" : why;
        return false;
    }
    if (version > kCurrentVersion) {
        if (error)
            *error =
                QString("the database's records are of version %1; this program knows up to %2")
                    .arg(version)
                    .arg(kCurrentVersion);
        return false;
    }
    for (int step = version; step < kCurrentVersion; ++step) {
        for (const QString& statement : kSteps[static_cast<std::size_t>(step)])
            if (!run(db, statement, error)) return false;
        if (!run(db, QString("UPDATE qe7204_schema SET version = %1").arg(step + 1), error))
            return false;
    }
    return true;
}

}  // namespace qe::records::schema
