#pragma once

#include <QJsonObject>
#include <QString>

#include <vector>

#include "record_store.h"

namespace qe::records {

struct ReportFilter {
    QString since;    // units started at or after this (ISO 8601 date or time, UTC)
    QString station;  // only this station's units
};

// The questions a line asks of its records: how many units, how many passed, which steps
// failed and why, how the magnet figures lie, per adapter, golden file and station.
struct RecordReport {
    struct Group {
        QString key;
        long long units = 0;
        long long passed = 0;
    };
    struct Failure {
        QString step;
        QString reason;
        long long units = 0;
    };
    struct Figure {
        QString name;
        long long units = 0;
        double median = 0;
        double lowerQuartile = 0;
        double upperQuartile = 0;
        double min = 0;
        double max = 0;
    };

    ReportFilter filter;
    long long units = 0;
    long long passed = 0;
    std::vector<Failure> failures;  // most frequent first
    std::vector<Figure> magnet;     // by name
    std::vector<Group> stations;
    std::vector<Group> adapters;
    std::vector<Group> goldenFiles;  // "file (sha256 prefix)"
};

// Reads the report from the database; false with the error when it cannot.
bool makeReport(RecordStore& store, const ReportFilter& filter, RecordReport& report,
                QString* error);

QString reportText(const RecordReport& report);
QJsonObject reportJson(const RecordReport& report);
// One table: section,key,units,passed,pass_percent,median,lower_quartile,upper_quartile,min,max
QString reportCsv(const RecordReport& report);

}  // namespace qe::records
