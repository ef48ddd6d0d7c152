#pragma once

// What every benchmark program shares: a QApplication, offscreen unless another platform is
// asked for, Google Benchmark run on the arguments, and a sink that counts boxes.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QSize>
#include <QTemporaryFile>

#include <string>

#include "message_sink.h"

namespace qe::bench {

// Counts boxes instead of showing them: a modal box would stop the loop being measured.
class CountingSink final : public MessageSink {
public:
    void show(MessageKind, const std::string&) override { ++shown; }
    int shown = 0;
};

// `screen`, when given, is the size of the offscreen platform's one screen (its own is
// 800 x 600, and a window larger than its screen does not get the size asked for).
inline int runBenchmarks(int argc, char** argv, QSize screen = {}) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryFile screens;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && screen.isValid() && screens.open()) {
        screens.write(QStringLiteral(R"({"screens": [{"name": "bench", "x": 0, "y": 0,
            "width": %1, "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                          .arg(screen.width())
                          .arg(screen.height())
                          .toUtf8());
        screens.flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace qe::bench
