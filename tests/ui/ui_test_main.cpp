// Widget tests need an application object; they run on the offscreen platform unless told
// otherwise, on one desktop-sized screen (the platform's own 800x600 is smaller than the
// designed windows, which would then be moved onto it).
#include <gtest/gtest.h>
#include <QApplication>
#include <QTemporaryFile>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryFile screens;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && screens.open()) {
        screens.write(R"({"windowFrameMargins": true, "screens": [{"name": "desk", "x": 0,
            "y": 0, "width": 1920, "height": 1200, "logicalDpi": 96, "logicalBaseDpi": 96,
            "dpr": 1}]})");
        screens.flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
