#include "record_report.h"

#include <QJsonArray>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <map>

namespace qe::records {

namespace {

// The filter as SQL, with its values bound in order.
struct Where {
    QString clause;
    QVariantList values;

    explicit Where(const ReportFilter& filter, const QString& prefix = {}) {
        QStringList parts;
        if (!filter.since.isEmpty()) {
            parts << prefix + "started >= ?";
            values << filter.since;
        }
        if (!filter.station.isEmpty()) {
            parts << prefix + "station = ?";
            values << filter.station;
        }
        if (!parts.isEmpty()) clause = " WHERE " + parts.join(" AND ");
    }
};

bool select(QSqlDatabase& db, const QString& sql, const QVariantList& values, QSqlQuery& query,
            QString* error) {
    query = QSqlQuery(db);
    query.prepare(sql);
    for (const QVariant& value : values) query.addBindValue(value);
    if (query.exec()) return true;
    *error = query.lastError().text();
    return false;
}

bool groups(QSqlDatabase& db, const QString& keySql, const ReportFilter& filter,
            std::vector<RecordReport::Group>& out, QString* error) {
    const Where where(filter);
    QSqlQuery query;
    if (!select(db,
                "SELECT " + keySql + " AS k, COUNT(*), SUM(passed) FROM units" + where.clause +
                    " GROUP BY k ORDER BY k",
                where.values, query, error))
        return false;
    while (query.next())
        out.push_back(
            {query.value(0).toString(), query.value(1).toLongLong(), query.value(2).toLongLong()});
    return true;
}

// The value at fraction q of the sorted values, between neighbours.
double quantile(const std::vector<double>& sorted, double q) {
    if (sorted.empty()) return 0;
    const double at = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(at);
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (at - static_cast<double>(below));
}

QString percent(long long part, long long whole) {
    return whole == 0 ? QString("-") : QString::number(100.0 * part / whole, 'f', 1) + " %";
}

double passPercent(long long part, long long whole) {
    return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

QJsonArray groupsJson(const std::vector<RecordReport::Group>& groups) {
    QJsonArray array;
    for (const auto& g : groups)
        array.append(QJsonObject{{"key", g.key},
                                 {"units", g.units},
                                 {"passed", g.passed},
                                 {"pass_percent", passPercent(g.passed, g.units)}});
    return array;
}

}  // namespace

bool makeReport(RecordStore& store, const ReportFilter& filter, RecordReport& report,
                QString* error) {
    report = {};
    report.filter = filter;
    QSqlDatabase db = store.database(error);
    if (!db.isValid()) return false;
    if (store.version(error) <= 0) {
        if (error->isEmpty()) *error = "the database holds no unit records yet (qe7204ctl db init)";
        return false;
    }
    const Where where(filter);
    QSqlQuery query;
    if (!select(db, "SELECT COUNT(*), SUM(passed) FROM units" + where.clause, where.values, query,
                error) ||
        !query.next())
        return false;
    report.units = query.value(0).toLongLong();
    report.passed = query.value(1).toLongLong();

    const Where failed(filter);
    const QString failedClause =
        (failed.clause.isEmpty() ? " WHERE " : failed.clause + " AND ") + "passed = 0";
    if (!select(db,
                "SELECT COALESCE(failed_step, ''), COALESCE(reason, ''), COUNT(*) FROM units" +
                    failedClause + " GROUP BY 1, 2 ORDER BY 3 DESC, 1, 2",
                failed.values, query, error))
        return false;
    while (query.next())
        report.failures.push_back(
            {query.value(0).toString(), query.value(1).toString(), query.value(2).toLongLong()});

    const Where figures(filter, "u.");
    if (!select(db,
                "SELECT f.figure, f.value FROM unit_magnet_figures f JOIN units u"
                " ON u.unit_id = f.unit_id" +
                    figures.clause + " ORDER BY f.figure, f.value",
                figures.values, query, error))
        return false;
    std::map<QString, std::vector<double>> values;
    while (query.next()) values[query.value(0).toString()].push_back(query.value(1).toDouble());
    for (auto& [name, list] : values) {
        std::sort(list.begin(), list.end());
        report.magnet.push_back({name, static_cast<long long>(list.size()), quantile(list, 0.5),
                                 quantile(list, 0.25), quantile(list, 0.75), list.front(),
                                 list.back()});
    }

    return groups(db, "COALESCE(station, '')", filter, report.stations, error) &&
           groups(db, "COALESCE(adapter_serial, '')", filter, report.adapters, error) &&
           groups(db,
                  "COALESCE(golden_file, '') || ' (' || SUBSTR(COALESCE(golden_sha256, ''), 1, 12)"
                  " || ')'",
                  filter, report.goldenFiles, error);
}

QString reportText(const RecordReport& r) {
    QString text;
    text += QString("units %1, passed %2 (%3)\n")
                .arg(r.units)
                .arg(r.passed)
                .arg(percent(r.passed, r.units));
    const auto section = [&](const char* title, const std::vector<RecordReport::Group>& groups) {
        text += QString("\n%1\n").arg(title);
        for (const auto& g : groups)
            text += QString("  %1  units %2, passed %3 (%4)\n")
                        .arg(g.key.isEmpty() ? "-" : g.key)
                        .arg(g.units)
                        .arg(g.passed)
                        .arg(percent(g.passed, g.units));
    };
    text += "\nfailures by step and reason\n";
    if (r.failures.empty()) text += "  none\n";
    for (const auto& f : r.failures)
        text +=
            QString("  %1  %2: %3\n").arg(f.units).arg(f.step.isEmpty() ? "-" : f.step, f.reason);
    text += "\nmagnet figures (median, quartiles, range)\n";
    if (r.magnet.empty()) text += "  none\n";
    for (const auto& m : r.magnet)
        text += QString("  %1  %2 units: median %3, quartiles %4 .. %5, range %6 .. %7\n")
                    .arg(m.name)
                    .arg(m.units)
                    .arg(m.median, 0, 'g', 4)
                    .arg(m.lowerQuartile, 0, 'g', 4)
                    .arg(m.upperQuartile, 0, 'g', 4)
                    .arg(m.min, 0, 'g', 4)
                    .arg(m.max, 0, 'g', 4);
    section("per station", r.stations);
    section("per adapter", r.adapters);
    section("per golden file", r.goldenFiles);
    return text;
}

QJsonObject reportJson(const RecordReport& r) {
    QJsonArray failures;
    for (const auto& f : r.failures)
        failures.append(QJsonObject{{"step", f.step}, {"reason", f.reason}, {"units", f.units}});
    QJsonArray magnet;
    for (const auto& m : r.magnet)
        magnet.append(QJsonObject{{"figure", m.name},
                                  {"units", m.units},
                                  {"median", m.median},
                                  {"lower_quartile", m.lowerQuartile},
                                  {"upper_quartile", m.upperQuartile},
                                  {"min", m.min},
                                  {"max", m.max}});
    QJsonObject filter;
    if (!r.filter.since.isEmpty()) filter["since"] = r.filter.since;
    if (!r.filter.station.isEmpty()) filter["station"] = r.filter.station;
    return {{"format", 1},
            {"filter", filter},
            {"units", r.units},
            {"passed", r.passed},
            {"pass_percent", passPercent(r.passed, r.units)},
            {"failures", failures},
            {"magnet", magnet},
            {"stations", groupsJson(r.stations)},
            {"adapters", groupsJson(r.adapters)},
            {"golden_files", groupsJson(r.goldenFiles)}};
}

QString reportCsv(const RecordReport& r) {
    const auto quoted = [](QString text) {
        if (!text.contains(',') && !text.contains('"') && !text.contains('\n')) return text;
        return "\"" + text.replace("\"", "\"\"") + "\"";
    };
    QString csv =
        "section,key,units,passed,pass_percent,median,lower_quartile,upper_quartile,min,max\n";
    const auto group = [&](const char* section, const RecordReport::Group& g) {
        csv += QString("%1,%2,%3,%4,%5,,,,,\n")
                   .arg(section, quoted(g.key))
                   .arg(g.units)
                   .arg(g.passed)
                   .arg(passPercent(g.passed, g.units), 0, 'f', 1);
    };
    group("all", {"", r.units, r.passed});
    for (const auto& f : r.failures)
        csv += QString("failure,%1,%2,,,,,,,\n").arg(quoted(f.step + ": " + f.reason)).arg(f.units);
    for (const auto& m : r.magnet)
        csv += QString("magnet,%1,%2,,,%3,%4,%5,%6,%7\n")
                   .arg(quoted(m.name))
                   .arg(m.units)
                   .arg(m.median)
                   .arg(m.lowerQuartile)
                   .arg(m.upperQuartile)
                   .arg(m.min)
                   .arg(m.max);
    for (const auto& g : r.stations) group("station", g);
    for (const auto& g : r.adapters) group("adapter", g);
    for (const auto& g : r.goldenFiles) group("golden_file", g);
    return csv;
}

}  // namespace qe::records
