#pragma once

#include <QString>

#include "record_store.h"

namespace qe::records {

// Records that could not be written (server down, disk full, a constraint), kept in a local
// file, one JSON object a line, until a write to the same database succeeds. Several
// processes on one PC may share the file: each change holds a lock file beside it.
class RecordSpool {
public:
    explicit RecordSpool(QString path);

    // $XDG_STATE_HOME/qe7204/record-spool.jsonl (~/.local/state/... without it).
    static QString defaultPath();
    const QString& path() const { return path_; }

    bool keep(const DatabaseUrl& url, const UnitRecordRow& row, QString* error);

    struct FlushResult {
        int sent = 0;
        int left = 0;  // for this database, still kept
        QString error;
    };
    // Sends the records kept for that database through the store, oldest first, and stops
    // at the first that fails; the others stay for the next time.
    FlushResult flush(RecordStore& store);
    // Records kept for that database.
    int count(const DatabaseUrl& url, QString* error) const;

private:
    QString path_;
};

// What became of one unit's record.
struct RecordDelivery {
    bool stored = false;   // in the database now
    bool spooled = false;  // kept in the spool instead
    int flushed = 0;       // earlier records sent from the spool with it
    QString error;         // why it could not be written (stored is false)
};

// Writes the record; on failure keeps it in the spool; on success sends what the spool
// holds for that database too.
RecordDelivery deliver(RecordStore& store, RecordSpool& spool, const UnitRecordRow& row);

}  // namespace qe::records
