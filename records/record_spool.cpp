#include "record_spool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>
#include <QSaveFile>

#include <vector>

namespace qe::records {

namespace {

constexpr int kLockWaitMs = 30'000;

struct Entry {
    QString database;
    UnitRecordRow row;
    QByteArray line;
};

QByteArray lineOf(const DatabaseUrl& url, const UnitRecordRow& row) {
    const QJsonObject entry{{"database", url.display()},
                            {"unit_id", row.unitId},
                            {"station", row.station},
                            {"record", row.record}};
    return QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
}

// Unreadable lines are kept as they are: a spool is never thrown away.
std::vector<Entry> readEntries(const QString& path, bool* ok, QString* error) {
    std::vector<Entry> entries;
    *ok = true;
    QFile file(path);
    if (!file.exists()) return entries;
    if (!file.open(QIODevice::ReadOnly)) {
        *ok = false;
        *error = path + ": " + file.errorString();
        return entries;
    }
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.trimmed().isEmpty()) continue;
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        Entry entry{object["database"].toString(),
                    {object["unit_id"].toString(), object["station"].toString(),
                     object["record"].toObject()},
                    line.endsWith('\n') ? line : line + '\n'};
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool lock(QLockFile& lockFile, const QString& path, QString* error) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    lockFile.setStaleLockTime(kLockWaitMs * 2);
    if (lockFile.tryLock(kLockWaitMs)) return true;
    *error = path + ": another program holds the spool's lock";
    return false;
}

}  // namespace

RecordSpool::RecordSpool(QString path) : path_(std::move(path)) {}

QString RecordSpool::defaultPath() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty()) state = QDir::homePath() + "/.local/state";
    return state + "/qe7204/record-spool.jsonl";
}

bool RecordSpool::keep(const DatabaseUrl& url, const UnitRecordRow& row, QString* error) {
    QLockFile lockFile(path_ + ".lock");
    if (!lock(lockFile, path_, error)) return false;
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = path_ + ": " + file.errorString();
        return false;
    }
    const QByteArray line = lineOf(url, row);
    if (file.write(line) != line.size() || !file.flush()) {
        *error = path_ + ": " + file.errorString();
        return false;
    }
    return true;
}

RecordSpool::FlushResult RecordSpool::flush(RecordStore& store) {
    FlushResult result;
    // Every stored unit asks: with nothing kept, no lock and no folder are made.
    if (!QFileInfo::exists(path_)) return result;
    QLockFile lockFile(path_ + ".lock");
    if (!lock(lockFile, path_, &result.error)) return result;
    bool ok = false;
    std::vector<Entry> entries = readEntries(path_, &ok, &result.error);
    if (!ok || entries.empty()) return result;

    const QString database = store.url().display();
    QByteArray kept;
    bool stopped = false;
    for (const Entry& entry : entries) {
        if (entry.database != database || entry.row.unitId.isEmpty()) {
            kept += entry.line;
            continue;
        }
        if (!stopped) {
            const StoreResult written = store.write(entry.row);
            if (written.ok) {
                ++result.sent;
                continue;
            }
            stopped = true;
            result.error = written.error;
        }
        ++result.left;
        kept += entry.line;
    }
    if (result.sent == 0) return result;
    // Written whole or not at all: a record sent twice changes nothing, one lost is lost.
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(kept) != kept.size() || !file.commit())
        result.error = path_ + ": " + file.errorString();
    return result;
}

int RecordSpool::count(const DatabaseUrl& url, QString* error) const {
    bool ok = false;
    const std::vector<Entry> entries = readEntries(path_, &ok, error);
    if (!ok) return -1;
    const QString database = url.display();
    int n = 0;
    for (const Entry& entry : entries)
        if (entry.database == database) ++n;
    return n;
}

RecordDelivery deliver(RecordStore& store, RecordSpool& spool, const UnitRecordRow& row) {
    RecordDelivery delivery;
    const StoreResult written = store.write(row);
    if (!written.ok) {
        delivery.error = written.error;
        QString why;
        delivery.spooled = spool.keep(store.url(), row, &why);
        if (!delivery.spooled) delivery.error += "; " + why;
        return delivery;
    }
    delivery.stored = true;
    delivery.flushed = spool.flush(store).sent;
    return delivery;
}

}  // namespace qe::records
