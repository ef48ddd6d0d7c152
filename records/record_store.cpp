#include "record_store.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QSysInfo>
#include <QUuid>
#include <QVariant>

#include <atomic>
#include <functional>

#include "record_schema.h"

namespace qe::records {

namespace {

// SQLite: readers and writers of several processes on one PC side by side; a writer waits
// for another's transaction rather than failing at once.
constexpr int kSqliteBusyTimeoutMs = 30'000;
// PostgreSQL: one key for the schema lock, so that stations starting together create the
// tables once.
constexpr qint64 kSchemaLockKey = 7204'0001;

QString nextConnectionName() {
    static std::atomic<int> counter{0};
    return QString("qe7204-records-%1").arg(counter++);
}

QVariant textOrNull(const QJsonValue& value) {
    return value.isString() ? QVariant(value.toString()) : QVariant(QMetaType(QMetaType::QString));
}

QVariant integerOrNull(const QJsonValue& value) {
    return value.isDouble() ? QVariant(static_cast<qint64>(value.toDouble()))
                            : QVariant(QMetaType(QMetaType::LongLong));
}

bool exec(QSqlQuery& query, QString* error) {
    if (query.exec()) return true;
    *error = query.lastError().text();
    return false;
}

bool insertUnit(QSqlDatabase& db, const UnitRecordRow& row, bool& inserted, QString* error) {
    const QJsonObject& r = row.record;
    const QJsonObject adapter = r["adapter"].toObject();
    const QJsonObject golden = r["golden"].toObject();
    const QJsonObject words = r["words"].toObject();
    const QJsonObject log = r["log"].toObject();
    const QJsonObject magnet = r["magnet"].toObject();
    QSqlQuery query(db);
    query.prepare(
        "INSERT INTO units (unit_id, station, started, recorded, tool_version, adapter_serial,"
        " adapter_backend, chip_address, golden_file, golden_sha256, eeprom_words_written,"
        " passed, exit_status, failed_step, reason, magnet_verdict, log_file, log_asked,"
        " log_readings, log_rows, log_gaps, record_json)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
        " ON CONFLICT (unit_id) DO NOTHING");
    query.addBindValue(row.unitId);
    query.addBindValue(row.station);
    query.addBindValue(r["started"].toString());
    query.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    query.addBindValue(textOrNull(r["tool_version"]));
    query.addBindValue(textOrNull(adapter["serial"]));
    query.addBindValue(textOrNull(adapter["backend"]));
    query.addBindValue(integerOrNull(r["chip_address"]));
    query.addBindValue(textOrNull(golden["file"]));
    query.addBindValue(textOrNull(golden["sha256"]));
    query.addBindValue(integerOrNull(words["eeprom_words_written"]));
    query.addBindValue(r["result"].toString() == "pass" ? 1 : 0);
    query.addBindValue(r["exit_status"].toInt());
    query.addBindValue(textOrNull(r["failed_step"]));
    query.addBindValue(textOrNull(r["reason"]));
    query.addBindValue(textOrNull(magnet["verdict"]));
    query.addBindValue(textOrNull(log["file"]));
    query.addBindValue(integerOrNull(log["asked"]));
    query.addBindValue(integerOrNull(log["readings"]));
    query.addBindValue(integerOrNull(log["rows"]));
    query.addBindValue(integerOrNull(log["gaps"]));
    query.addBindValue(QString::fromUtf8(QJsonDocument(r).toJson(QJsonDocument::Compact)));
    if (!exec(query, error)) return false;
    inserted = query.numRowsAffected() == 1;
    return true;
}

// Many rows in one statement: a unit's children cost three round trips, not fifty.
bool insertRows(QSqlDatabase& db, const QString& head, int columns, const QVariantList& values,
                QString* error) {
    if (values.isEmpty()) return true;
    const QString row = "(" + QStringList(columns, "?").join(", ") + ")";
    const auto rows = values.size() / columns;
    QSqlQuery query(db);
    query.prepare(head + " VALUES " + QStringList(rows, row).join(", "));
    for (const QVariant& value : values) query.addBindValue(value);
    return exec(query, error);
}

bool insertSteps(QSqlDatabase& db, const UnitRecordRow& row, QString* error) {
    QVariantList values;
    const QJsonArray steps = row.record["steps"].toArray();
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QJsonObject step = steps[i].toObject();
        values << row.unitId << static_cast<int>(i) << step["step"].toString()
               << (step["result"].toString() == "ok" ? 1 : 0)
               << static_cast<qint64>(step["duration_ms"].toDouble());
    }
    return insertRows(db, "INSERT INTO unit_steps (unit_id, position, step, ok, duration_ms)", 5,
                      values, error);
}

bool insertWords(QSqlDatabase& db, const UnitRecordRow& row, QString* error) {
    QVariantList values;
    const auto add = [&](const QString& kind, const QJsonValue& list) {
        const QJsonArray words = list.toArray();
        for (qsizetype i = 0; i < words.size(); ++i)
            values << row.unitId << kind << static_cast<int>(i) << integerOrNull(words[i]);
    };
    const QJsonObject words = row.record["words"].toObject();
    const QJsonObject readBack = words["read_back"].toObject();
    const QJsonObject afterCycle = words["after_power_cycle"].toObject();
    add("written", words["written"]);
    add("working", readBack["working"]);
    add("eeprom", readBack["eeprom"]);
    add("working_after_power_cycle", afterCycle["working"]);
    add("eeprom_after_power_cycle", afterCycle["eeprom"]);
    return insertRows(db, "INSERT INTO unit_words (unit_id, kind, word, value)", 4, values, error);
}

bool insertMagnetFigures(QSqlDatabase& db, const UnitRecordRow& row, QString* error) {
    QVariantList values;
    const QJsonObject magnet = row.record["magnet"].toObject();
    for (auto it = magnet.begin(); it != magnet.end(); ++it)
        if (it.value().isDouble() && it.key() != "chip_address")
            values << row.unitId << it.key() << it.value().toDouble();
    return insertRows(db, "INSERT INTO unit_magnet_figures (unit_id, figure, value)", 3, values,
                      error);
}

}  // namespace

UnitRecordRow UnitRecordRow::forNewUnit(QJsonObject record, QString station) {
    if (station.isEmpty()) station = QSysInfo::machineHostName();
    return {QUuid::createUuid().toString(QUuid::WithoutBraces), station, std::move(record)};
}

RecordStore::RecordStore(DatabaseUrl url)
    : url_(std::move(url)), connectionName_(nextConnectionName()) {}

RecordStore::~RecordStore() {
    dropConnection();
}

void RecordStore::dropConnection() {
    if (!QSqlDatabase::contains(connectionName_)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
}

bool RecordStore::open(QString* error) {
    if (QSqlDatabase::contains(connectionName_)) {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        if (db.isOpen()) return true;
    }
    dropConnection();
    if (!QSqlDatabase::isDriverAvailable(url_.driverName())) {
        *error =
            "the Qt SQL driver " + url_.driverName() + " is not installed (" +
            (url_.kind == DatabaseUrl::Kind::Sqlite ? "libqt6sql6-sqlite" : "libqt6sql6-psql") +
            ")";
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(url_.driverName(), connectionName_);
    if (url_.kind == DatabaseUrl::Kind::Sqlite) {
        db.setDatabaseName(url_.path);
        db.setConnectOptions(QString("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyTimeoutMs));
    } else {
        db.setHostName(url_.host);
        if (url_.port > 0) db.setPort(url_.port);
        db.setUserName(url_.user);
        db.setPassword(url_.password);
        db.setDatabaseName(url_.database);
        QString options = url_.connectOptions();
        if (!url_.options.contains("connect_timeout"))
            options += QString(options.isEmpty() ? "" : ";") + "connect_timeout=10";
        db.setConnectOptions(options);
    }
    if (!db.open()) {
        *error = db.lastError().text().trimmed();
        if (error->isEmpty()) *error = "the database could not be opened";
        return false;
    }
    if (url_.kind == DatabaseUrl::Kind::Sqlite) {
        QSqlQuery pragma(db);
        // Write-ahead logging lets one station's reports read while another writes.
        if (!pragma.exec("PRAGMA journal_mode=WAL") || !pragma.exec("PRAGMA foreign_keys=ON")) {
            *error = pragma.lastError().text();
            return false;
        }
    }
    return true;
}

QSqlDatabase RecordStore::database(QString* error) {
    QString why;
    if (!open(&why)) {
        if (error) *error = why;
        return {};
    }
    return QSqlDatabase::database(connectionName_, false);
}

int RecordStore::version(QString* error) {
    QSqlDatabase db = database(error);
    if (!db.isValid()) return -1;
    return schema::versionOf(db, error);
}

StoreResult RecordStore::attempt(const Work& work) {
    StoreResult result;
    if (!open(&result.error)) return result;
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    QSqlQuery begin(db);
    // SQLite: take the write lock at the start, so that two writers never deadlock upgrading.
    const bool began = url_.kind == DatabaseUrl::Kind::Sqlite ? begin.exec("BEGIN IMMEDIATE")
                                                              : begin.exec("BEGIN");
    if (!began) {
        result.error = begin.lastError().text();
        return result;
    }
    const auto rollBack = [&] {
        if (db.isOpen()) QSqlQuery(db).exec("ROLLBACK");
        return result;
    };
    if (url_.kind == DatabaseUrl::Kind::Postgresql) {
        QSqlQuery lock(db);
        if (!lock.exec(QString("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey))) {
            result.error = lock.lastError().text();
            return rollBack();
        }
    }
    if (!schema::bringUpToDate(db, &result.error) || !work(db, result)) return rollBack();
    QSqlQuery commit(db);
    if (!commit.exec("COMMIT")) {
        result.error = commit.lastError().text();
        return rollBack();
    }
    result.ok = true;
    return result;
}

StoreResult RecordStore::inTransaction(const Work& work) {
    if (StoreResult result = attempt(work); result.ok) return result;
    // A connection that broke since it was opened (a restarted server) is opened anew; the
    // failed attempt was rolled back, so trying once more cannot store a unit twice.
    dropConnection();
    return attempt(work);
}

StoreResult RecordStore::init() {
    return inTransaction([](QSqlDatabase&, StoreResult&) { return true; });
}

StoreResult RecordStore::write(const UnitRecordRow& row) {
    return inTransaction([&](QSqlDatabase& db, StoreResult& result) {
        bool inserted = false;
        if (!insertUnit(db, row, inserted, &result.error)) return false;
        if (!inserted) {
            result.alreadyThere = true;
            return true;
        }
        return insertSteps(db, row, &result.error) && insertWords(db, row, &result.error) &&
               insertMagnetFigures(db, row, &result.error);
    });
}

}  // namespace qe::records
