// db init | migrate | report | flush: the unit records database.

#include <QFileInfo>

#include "command.h"
#include "database_url.h"
#include "exit_status.h"
#include "record_report.h"
#include "record_spool.h"

namespace qe::cli {

namespace {

struct DbOptions {
    std::string action;
    std::string url;
    records::ReportFilter filter;
    bool csv = false;
    std::string spool;
};

// The db options as typed.
struct DbArguments {
    std::optional<std::string> since;
    std::optional<std::string> station;
    std::optional<std::string> spool;
    bool csv = false;
    std::vector<std::string> words;
};

// A value given with its option: "--since needs a value" when empty.
bool takeValue(const std::optional<std::string>& given, const char* name, std::string& value,
               std::string& error) {
    if (!given) return true;
    if (given->empty() && error.empty()) error = std::string(name) + " needs a value";
    value = *given;
    return error.empty();
}

int refuse(Invocation& call, const QString& reason) {
    return call.fail("records database: " + reason.toStdString(), kExitRecords);
}

int runInit(Invocation& call, records::RecordStore& store, bool migrateOnly) {
    QString error;
    const int before = store.version(&error);
    if (before < 0) return refuse(call, error);
    if (migrateOnly && before == 0)
        return refuse(call, "it holds no unit records to migrate; db init makes the tables");
    const records::StoreResult done = store.init();
    if (!done.ok) return refuse(call, done.error);
    const int after = store.version(&error);
    const QString url = store.url().display();
    if (call.output.json())
        call.output.document(QJsonObject{{"format", kJsonFormat},
                                         {"database", url},
                                         {"version_before", before},
                                         {"version", after}});
    else if (before == after)
        call.output.line(url.toStdString() + ": unit records, version " + std::to_string(after) +
                         ", up to date");
    else
        call.output.line(url.toStdString() + ": unit records, version " + std::to_string(before) +
                         " -> " + std::to_string(after));
    return kExitSuccess;
}

int runReport(Invocation& call, records::RecordStore& store, const DbOptions& options) {
    records::RecordReport report;
    QString error;
    if (!records::makeReport(store, options.filter, report, &error)) return refuse(call, error);
    if (call.output.json())
        call.output.document(records::reportJson(report));
    else if (options.csv)
        call.output.line(records::reportCsv(report).chopped(1).toStdString());
    else
        call.output.line(records::reportText(report).chopped(1).toStdString());
    return kExitSuccess;
}

int runFlush(Invocation& call, records::RecordStore& store, const DbOptions& options) {
    records::RecordSpool spool(options.spool.empty() ? records::RecordSpool::defaultPath()
                                                     : QString::fromStdString(options.spool));
    const records::RecordSpool::FlushResult flushed = spool.flush(store);
    QString error;
    const int left = spool.count(store.url(), &error);
    if (call.output.json())
        call.output.document(QJsonObject{{"format", kJsonFormat},
                                         {"database", store.url().display()},
                                         {"spool", spool.path()},
                                         {"sent", flushed.sent},
                                         {"left", left}});
    else
        call.output.line("sent " + std::to_string(flushed.sent) + " kept records to " +
                         store.url().display().toStdString() + ", " + std::to_string(left) +
                         " left in " + spool.path().toStdString());
    if (left != 0) return refuse(call, flushed.error.isEmpty() ? error : flushed.error);
    return kExitSuccess;
}

PreparedCommand prepareDb(const DbArguments& given) {
    DbOptions options;
    std::string error;
    std::string since;
    std::string station;
    takeValue(given.since, "--since", since, error);
    takeValue(given.station, "--station", station, error);
    takeValue(given.spool, "--record-spool", options.spool, error);
    if (!error.empty()) return PreparedCommand::usage(error);
    options.filter.since = QString::fromStdString(since);
    options.filter.station = QString::fromStdString(station);
    options.csv = given.csv;
    const std::vector<std::string>& words = given.words;
    if (words.size() != 2) return PreparedCommand::usage("db takes an action and a database URL");
    options.action = words[0];
    options.url = words[1];
    const bool report = options.action == "report";
    if (options.action != "init" && options.action != "migrate" && !report &&
        options.action != "flush")
        return PreparedCommand::usage("db: unknown action " + options.action +
                                      " (init, migrate, report or flush)");
    if (!report &&
        (options.csv || !options.filter.since.isEmpty() || !options.filter.station.isEmpty()))
        return PreparedCommand::usage("--since, --station and --csv go with db report");
    if (options.action != "flush" && !options.spool.empty())
        return PreparedCommand::usage("--record-spool goes with db flush");
    QString why;
    const auto url = records::DatabaseUrl::parse(QString::fromStdString(options.url), &why);
    if (!url) return PreparedCommand::usage("db: " + why.toStdString());

    return {{}, Needs::Nothing, [options, url = *url](Invocation& call) {
                // Opening a SQLite file makes it: a report or a migration must not.
                const bool onlyExisting = options.action == "report" || options.action == "migrate";
                if (url.kind == records::DatabaseUrl::Kind::Sqlite && onlyExisting &&
                    !QFileInfo::exists(url.path))
                    return refuse(call, url.path + ": no such file (db init makes one)");
                records::RecordStore store(url);
                if (options.action == "report") return runReport(call, store, options);
                if (options.action == "flush") return runFlush(call, store, options);
                return runInit(call, store, options.action == "migrate");
            }};
}

}  // namespace

CommandPreparation declareDb(CommandOptions& options) {
    auto given = std::make_shared<DbArguments>();
    options.value("--since", given->since, "DATE", "report: the units programmed since DATE.");
    options.value("--station", given->station, "NAME", "report: the units of one station.");
    options.flag("--csv", given->csv, "report: as CSV.");
    options.value("--record-spool", given->spool, "FILE",
                  "flush: the spool to send (default ~/.local/state/qe7204/record-spool.jsonl).");
    options.arguments(given->words, "init|migrate|report|flush URL");
    return [given] { return prepareDb(*given); };
}

}  // namespace qe::cli
