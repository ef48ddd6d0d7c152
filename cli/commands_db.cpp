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

// "--name value" (the argument parser hands "--name=value" on so); advances i past it.
bool takeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::string& value, std::string& error) {
    if (args[i] != name) return false;
    if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return true;
    }
    value = args[++i];
    return true;
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

}  // namespace

PreparedCommand prepareDb(const std::vector<std::string>& args) {
    DbOptions options;
    std::string error;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        std::string since;
        std::string station;
        if (takeValue(args, i, "--since", since, error)) {
            options.filter.since = QString::fromStdString(since);
        } else if (takeValue(args, i, "--station", station, error)) {
            options.filter.station = QString::fromStdString(station);
        } else if (takeValue(args, i, "--record-spool", options.spool, error)) {
        } else if (args[i] == "--csv") {
            options.csv = true;
        } else if (args[i].rfind("--", 0) == 0) {
            error = "db: unknown option " + args[i];
        } else {
            words.push_back(args[i]);
        }
    }
    if (!error.empty()) return PreparedCommand::usage(error);
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

}  // namespace qe::cli
