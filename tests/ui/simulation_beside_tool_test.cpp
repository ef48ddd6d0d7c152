// The simulated adapter's window next to the tool: placed beside the main window with its
// whole frame on the screen, and usable while the tool waits for an answer to a box.
#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

#include "beside_placement.h"
#include "clock.h"
#include "message_box_sink.h"
#include "simulation.h"
#include "simulation_window.h"

namespace qe::ui {
namespace {

TEST(BesidePlacement, PutsTheWholeFrameBesideTheMainWindowOnTheDesk) {
    const QRect desk(0, 0, 1280, 1024);
    const QSize inner(392, 513);
    const QMargins none;
    const QMargins openbox(1, 20, 1, 1);
    struct Case {
        const char* what;
        QRect mainFrame;
        QMargins frame;
        QRect desk;
        QPoint at;  // the frame's top-left corner
    };
    const Case cases[] = {
        {"right of it, no frame", {0, 0, 784, 535}, none, desk, {792, 0}},
        {"right of it, framed", {0, 0, 786, 556}, openbox, desk, {794, 0}},
        {"right up to the desk's edge", {0, 0, 878, 556}, openbox, desk, {886, 0}},
        {"below it", {0, 0, 879, 400}, openbox, desk, {0, 408}},
        {"against the right edge", {0, 0, 879, 556}, openbox, desk, {886, 0}},
        {"main window reaching above the desk", {400, -30, 786, 556}, openbox, desk, {886, 0}},
        {"desk left of the origin",
         {-1280, 0, 786, 556},
         openbox,
         {-1280, 0, 2560, 1024},
         {-486, 0}},
        // 1366x768 less a 30 px panel, the main window low on it: right of it, up to the bottom.
        {"up to the bottom edge", {0, 400, 786, 300}, openbox, {0, 0, 1366, 738}, {794, 204}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(besideFramePosition(c.mainFrame, inner, c.frame, c.desk, 8), c.at) << c.what;
}

// Closes every message box that is up, so a box the test expected to close cannot hang it.
void closeMessageBoxes() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget)) box->reject();
}

QPoint centreIn(const QWidget& window, const QWidget& child) {
    return child.mapTo(&window, child.rect().center());
}

TEST(SimulationBesideTheTool, StaysUsableWhileTheToolWaitsForAnAnswerToABox) {
    ManualClock clock;
    const auto simulation = sim::makeDefaultSimulation(clock, {.chips = 2, .instantReplies = true});
    QWidget mainWindow;
    auto* toolButton = new QPushButton(QStringLiteral("Power ON"), &mainWindow);
    mainWindow.show();
    SimulationWindow desk(simulation->adapter());  // on its own, as the program makes it
    desk.placeBeside(mainWindow);
    desk.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&desk));
    MessageBoxSink boxes(QStringLiteral("QE7204 interface"));
    boxes.setOwner(&mainWindow);
    int toolClicks = 0;
    QObject::connect(toolButton, &QPushButton::clicked, [&toolClicks] { ++toolClicks; });

    auto* removeChip = desk.findChild<QPushButton*>(QStringLiteral("removeChipButton"));
    ASSERT_NE(removeChip, nullptr);
    QTimer::singleShot(0, [&] {
        QTest::mouseClick(desk.windowHandle(), Qt::LeftButton, {}, centreIn(desk, *removeChip));
        QTest::mouseClick(mainWindow.windowHandle(), Qt::LeftButton, {},
                          centreIn(mainWindow, *toolButton));
        closeMessageBoxes();
    });
    boxes.show(MessageKind::Error, "It is not allowed to connected more than one QE7204!");

    EXPECT_EQ(simulation->adapter().bus().chipCount(), 1u) << "Remove chip was pressed";
    EXPECT_EQ(toolClicks, 0) << "the tool's own window waited for the box";
}

}  // namespace
}  // namespace qe::ui
