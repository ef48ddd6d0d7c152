// Unit records against a real SQLite file and a real PostgreSQL server started here.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>

#include <memory>

#include "postgres_server.h"
#include "record_report.h"
#include "record_spool.h"
#include "sample_record.h"

namespace qe::records::test {
namespace {

enum class Backend { Sqlite, Postgresql };

// One server for the whole program; each test has a database of its own.
PostgresServer& server() {
    static PostgresServer instance;
    return instance;
}

class Records : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        if (GetParam() == Backend::Sqlite) {
            urlText = "sqlite:" + folder.filePath("records.db");
        } else {
            ASSERT_TRUE(server().error().isEmpty()) << server().error().toStdString();
            static int databases = 0;
            urlText = server().createDatabase(QString("units%1").arg(++databases));
            ASSERT_FALSE(urlText.isEmpty()) << server().error().toStdString();
        }
        QString error;
        url = *DatabaseUrl::parse(urlText, &error);
        store = std::make_unique<RecordStore>(url);
    }

    long long count(const QString& sql) {
        QString error;
        QSqlDatabase db = store->database(&error);
        QSqlQuery query(db);
        if (!query.exec(sql) || !query.next()) {
            ADD_FAILURE() << sql.toStdString();
            return -1;
        }
        return query.value(0).toLongLong();
    }

    UnitRecordRow unit(const QString& id, const SampleUnit& sample = {},
                       const QString& station = "station-1") {
        return {id, station, sampleRecord(sample)};
    }

    QTemporaryDir folder;
    QString urlText;
    DatabaseUrl url;
    std::unique_ptr<RecordStore> store;
};

TEST_P(Records, AUnitIsStoredWholeAndOnceEvenWhenDeliveredTwice) {
    const StoreResult first = store->write(unit("u1"));
    ASSERT_TRUE(first.ok) << first.error.toStdString();
    EXPECT_FALSE(first.alreadyThere);
    const StoreResult again = store->write(unit("u1"));
    ASSERT_TRUE(again.ok) << again.error.toStdString();
    EXPECT_TRUE(again.alreadyThere);

    EXPECT_EQ(count("SELECT COUNT(*) FROM units"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM unit_steps"), 7);
    EXPECT_EQ(count("SELECT COUNT(*) FROM unit_words"), 24) << "written, working and EEPROM";
    EXPECT_EQ(count("SELECT value FROM unit_words WHERE kind = 'eeprom' AND word = 7"), 0x107);
    EXPECT_EQ(count("SELECT COUNT(*) FROM unit_magnet_figures"), 3);
    EXPECT_EQ(count("SELECT passed FROM units"), 1);
    EXPECT_EQ(count("SELECT log_rows FROM units"), 100);
}

TEST_P(Records, TheSchemaIsMadeOnceAndANewerOneIsRefused) {
    QString error;
    EXPECT_EQ(store->version(&error), 0) << "an empty database";
    ASSERT_TRUE(store->init().ok);
    ASSERT_TRUE(store->init().ok) << "a second init changes nothing";
    EXPECT_EQ(store->version(&error), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM qe7204_schema"), 1);

    QSqlDatabase db = store->database(&error);
    ASSERT_TRUE(QSqlQuery(db).exec("UPDATE qe7204_schema SET version = 2"));
    const StoreResult refused = store->write(unit("u1"));
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.error.contains("version 2")) << refused.error.toStdString();
    EXPECT_EQ(count("SELECT COUNT(*) FROM units"), 0);
}

TEST_P(Records, TheReportAnswersPassRateFailuresMagnetFiguresAndGroups) {
    const auto passed = [](const char* day, const char* adapter, double harmonic) {
        SampleUnit u;
        u.started = QString("2026-12-%1T08:00:00Z").arg(day);
        u.adapter = adapter;
        u.firstHarmonic = harmonic;
        return u;
    };
    const auto failed = [&](const char* day, const char* adapter, const char* step,
                            const char* reason, const char* golden = "golden.qcf") {
        SampleUnit u = passed(day, adapter, -1);
        u.failedStep = step;
        u.reason = reason;
        u.golden = golden;
        return u;
    };
    const struct {
        const char* id;
        const char* station;
        SampleUnit sample;
    } units[] = {
        {"a", "st-1", passed("01", "A1", 1)},
        {"b", "st-1", passed("02", "A1", 2)},
        {"c", "st-2", passed("03", "A2", 3)},
        {"d", "st-2", passed("04", "A2", 4)},
        {"e", "st-2", failed("05", "A2", "prog", "Can not write to the EEPROM")},
        {"f", "st-1", failed("06", "A1", "prog", "Can not write to the EEPROM")},
        {"g", "st-1", failed("07", "A1", "verify", "not verified", "other.qcf")},
    };
    for (const auto& u : units) ASSERT_TRUE(store->write(unit(u.id, u.sample, u.station)).ok);

    RecordReport report;
    QString error;
    ASSERT_TRUE(makeReport(*store, {}, report, &error)) << error.toStdString();
    EXPECT_EQ(report.units, 7);
    EXPECT_EQ(report.passed, 4);
    ASSERT_EQ(report.failures.size(), 2u);
    EXPECT_EQ(report.failures[0].step, "prog");
    EXPECT_EQ(report.failures[0].reason, "Can not write to the EEPROM");
    EXPECT_EQ(report.failures[0].units, 2);
    EXPECT_EQ(report.failures[1].step, "verify");
    const auto first = std::find_if(report.magnet.begin(), report.magnet.end(), [](const auto& f) {
        return f.name == "error_first_harmonic_counts";
    });
    ASSERT_NE(first, report.magnet.end());
    EXPECT_EQ(first->units, 4);
    EXPECT_DOUBLE_EQ(first->median, 2.5);
    EXPECT_DOUBLE_EQ(first->lowerQuartile, 1.75);
    EXPECT_DOUBLE_EQ(first->upperQuartile, 3.25);
    EXPECT_DOUBLE_EQ(first->max, 4);
    ASSERT_EQ(report.adapters.size(), 2u);
    EXPECT_EQ(report.adapters[0].key, "A1");
    EXPECT_EQ(report.adapters[0].units, 4);
    EXPECT_EQ(report.adapters[0].passed, 2);
    ASSERT_EQ(report.goldenFiles.size(), 2u);
    EXPECT_EQ(report.goldenFiles[0].key, "golden.qcf (aaaaaaaaaaaa)");
    EXPECT_EQ(report.goldenFiles[0].units, 6);

    ASSERT_TRUE(makeReport(*store, {.since = "2026-12-04", .station = "st-2"}, report, &error));
    EXPECT_EQ(report.units, 2) << "units d and e";
    EXPECT_EQ(report.passed, 1);
    ASSERT_EQ(report.stations.size(), 1u);

    const QJsonObject json = reportJson(report);
    EXPECT_EQ(json["format"].toInt(), 1);
    EXPECT_EQ(json["units"].toInt(), 2);
    EXPECT_DOUBLE_EQ(json["pass_percent"].toDouble(), 50.0);
    EXPECT_TRUE(reportCsv(report).startsWith("section,key,units,passed,pass_percent,"));
    EXPECT_TRUE(reportCsv(report).contains("\nall,,2,1,50.0,"));
    EXPECT_TRUE(reportText(report).startsWith("units 2, passed 1 (50.0 %)\n"));
}

TEST_P(Records, AReportOfAnEmptyDatabaseSaysSo) {
    RecordReport report;
    QString error;
    EXPECT_FALSE(makeReport(*store, {}, report, &error));
    EXPECT_TRUE(error.contains("db init")) << error.toStdString();
}

// A record the database cannot take waits in the spool and goes with the next write.
TEST_P(Records, TheSpoolKeepsWhatTheDatabaseCannotTakeAndSendsItWithTheNextWrite) {
    RecordSpool spool(folder.filePath("spool/records.jsonl"));
    std::unique_ptr<RecordStore> unreachable;
    if (GetParam() == Backend::Sqlite) {
        QString error;
        unreachable = std::make_unique<RecordStore>(
            *DatabaseUrl::parse("sqlite:" + folder.filePath("not-yet/records.db"), &error));
    } else {
        ASSERT_TRUE(server().stop());
    }
    RecordStore& target = unreachable ? *unreachable : *store;

    const RecordDelivery kept = deliver(target, spool, unit("u1"));
    EXPECT_FALSE(kept.stored);
    EXPECT_TRUE(kept.spooled);
    EXPECT_FALSE(kept.error.isEmpty());
    QString error;
    EXPECT_EQ(spool.count(target.url(), &error), 1);

    if (unreachable)
        QDir(folder.path()).mkdir("not-yet");
    else
        ASSERT_TRUE(server().start());
    const RecordDelivery sent = deliver(target, spool, unit("u2"));
    EXPECT_TRUE(sent.stored) << sent.error.toStdString();
    EXPECT_EQ(sent.flushed, 1);
    EXPECT_EQ(spool.count(target.url(), &error), 0);
    RecordReport report;
    ASSERT_TRUE(makeReport(target, {}, report, &error)) << error.toStdString();
    EXPECT_EQ(report.units, 2);
}

// Three stations side by side, 1,000 units each; the PostgreSQL server stops for a while in
// the middle. None is lost, none doubled.
TEST_P(Records, ThreeStationsSideBySideLoseAndDoubleNoUnit) {
    constexpr int kUnits = 1000;
    ASSERT_TRUE(store->init().ok);
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int s = 1; s <= 3; ++s) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QString(RECORD_WRITER),
                       {urlText, QString("station-%1").arg(s), QString::number(kUnits),
                        folder.filePath(QString("spool-%1.jsonl").arg(s))});
        ASSERT_TRUE(process->waitForStarted());
        stations.push_back(std::move(process));
    }
    if (GetParam() == Backend::Postgresql) {
        // Stopped once the stations have written some, started again a while later.
        for (int i = 0; i < 600 && count("SELECT COUNT(*) FROM units") < 300; ++i)
            QThread::msleep(10);
        ASSERT_TRUE(server().stop());
        QThread::msleep(1500);
        ASSERT_TRUE(server().start());
        store = std::make_unique<RecordStore>(url);  // the old connection went with the server
    }
    for (auto& process : stations) {
        ASSERT_TRUE(process->waitForFinished(240'000));
        EXPECT_EQ(process->exitCode(), 0);
    }
    EXPECT_EQ(count("SELECT COUNT(*) FROM units"), 3 * kUnits);
    EXPECT_EQ(count("SELECT COUNT(DISTINCT unit_id) FROM units"), 3 * kUnits);
    EXPECT_EQ(count("SELECT COUNT(*) FROM unit_steps"), 3 * (kUnits * 7 - kUnits / 10))
        << "every unit whole: a failed verify ends after 6 of 7 steps";
    EXPECT_EQ(count("SELECT COUNT(*) FROM units WHERE passed = 0"), 3 * kUnits / 10);
}

INSTANTIATE_TEST_SUITE_P(, Records, ::testing::Values(Backend::Sqlite, Backend::Postgresql),
                         [](const auto& info) {
                             return info.param == Backend::Sqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace qe::records::test
