#pragma once

// What every benchmark program shares: a QApplication, offscreen unless another platform is
// asked for, Google Benchmark run on the arguments, and a sink that counts boxes.
#include <benchmark/benchmark.h>
#include <QApplication>

#include <string>

#include "message_sink.h"

namespace qe::bench {

// Counts boxes instead of showing them: a modal box would stop the loop being measured.
class CountingSink final : public MessageSink {
public:
    void show(MessageKind, const std::string&) override { ++shown; }
    int shown = 0;
};

inline int runBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace qe::bench
