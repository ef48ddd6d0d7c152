// One station writing unit records as fast as it can: record_writer URL STATION COUNT SPOOL.
// Each unit goes to the database, or to the station's spool when the database cannot take
// it; at the end the spool is sent until it is empty. Exit 0 when every unit is stored.
#include <QCoreApplication>
#include <QThread>

#include <cstdio>

#include "record_spool.h"
#include "sample_record.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: record_writer URL STATION COUNT SPOOL\n");
        return 2;
    }
    QString error;
    const auto url = qe::records::DatabaseUrl::parse(args[1], &error);
    if (!url) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    const QString station = args[2];
    const int count = args[3].toInt();
    qe::records::RecordStore store(*url);
    qe::records::RecordSpool spool(args[4]);
    int stored = 0;
    int spooled = 0;
    for (int i = 0; i < count; ++i) {
        qe::records::test::SampleUnit unit;
        unit.adapter = station + "-adapter";
        unit.firstHarmonic = 1.0 + (i % 7) * 0.5;
        if (i % 10 == 9) {
            unit.failedStep = "verify";
            unit.reason = "The data was not correctly written to the EEPROM";
        }
        const auto delivery = qe::records::deliver(
            store, spool,
            {QString("%1-%2").arg(station).arg(i), station, qe::records::test::sampleRecord(unit)});
        stored += delivery.stored ? 1 : 0;
        spooled += delivery.spooled ? 1 : 0;
        if (!delivery.stored && !delivery.spooled) {
            std::fprintf(stderr, "unit %d lost: %s\n", i, qPrintable(delivery.error));
            return 1;
        }
    }
    // What is still kept goes as soon as the database answers again.
    for (int attempt = 0; attempt < 600 && spool.count(*url, &error) > 0; ++attempt) {
        spool.flush(store);
        if (spool.count(*url, &error) > 0) QThread::msleep(100);
    }
    const int left = spool.count(*url, &error);
    std::printf("%s: stored %d, spooled %d, left %d\n", qPrintable(station), stored, spooled, left);
    return left == 0 ? 0 : 1;
}
