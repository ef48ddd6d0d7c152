#pragma once

#include <QJsonObject>
#include <QSqlDatabase>
#include <QString>

#include <functional>

#include "database_url.h"

namespace qe::records {

// One unit's record as it goes into the database: the document `program --record` writes,
// the station that made it and an identity that makes a second delivery of the same record
// (from the spool, after a write whose answer was lost) change nothing.
struct UnitRecordRow {
    QString unitId;
    QString station;
    QJsonObject record;

    // A unit seen for the first time: a new identity; the station's name, or this PC's.
    static UnitRecordRow forNewUnit(QJsonObject record, QString station = {});
};

struct StoreResult {
    bool ok = false;
    bool alreadyThere = false;  // the unit was stored before; nothing changed
    QString error;
};

// A connection to the records database, opened when first needed and again after it broke
// (a server restarted, a network that came back). Every write is one transaction: a unit is
// in the database whole, or not at all.
class RecordStore {
public:
    explicit RecordStore(DatabaseUrl url);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    const DatabaseUrl& url() const { return url_; }

    // Creates the tables in an empty database, or brings older ones up to date.
    StoreResult init();
    // The version the database holds (0: none yet), or -1 with the error.
    int version(QString* error);
    StoreResult write(const UnitRecordRow& row);

    // The open connection for reading (reports); invalid when it cannot be opened.
    QSqlDatabase database(QString* error);

private:
    bool open(QString* error);
    void dropConnection();
    using Work = std::function<bool(QSqlDatabase&, StoreResult&)>;
    // Runs `work` in one write transaction with the schema up to date, once more on a fresh
    // connection when the first attempt failed.
    StoreResult inTransaction(const Work& work);
    StoreResult attempt(const Work& work);

    DatabaseUrl url_;
    QString connectionName_;
};

}  // namespace qe::records
