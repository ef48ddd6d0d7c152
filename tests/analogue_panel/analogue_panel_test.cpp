// The analogue panel window: creation, needles, scale switching, its image files, first
// showing and giving the main window its settings back.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>

#include "design_fonts.h"
#include "dial_scale.h"
#include "ini_store.h"
#include "jpeg_image.h"
#include "message_box_sink.h"
#include "panel_fixture.h"
#include "panel_image_files.h"
#include "window_placement.h"

namespace qe::ui::test {
namespace {

// The dial the view should show: the file decoded, the labels written into it.
QImage expectedDial(const QString& path, const std::vector<DialLabel>& labels) {
    QImage dial = decodeJpegFile(path).image;
    drawDialLabels(dial, labels);
    return dial;
}

using AnaloguePanelTest = PanelTest;

TEST_F(AnaloguePanelTest, StartsHiddenOnThePositionScaleWithTheDesignedControls) {
    startPanel();

    EXPECT_EQ(panel->objectName(), "TForm2");
    EXPECT_EQ(panel->windowTitle(), "Analogue panel");
    EXPECT_EQ(panel->font().family(), designFamily(QStringLiteral("Tahoma")));
    EXPECT_EQ(panel->font().pixelSize(), 11);
    EXPECT_FALSE(panel->isPanelVisible());
    EXPECT_EQ(panel->size(), QSize(650, 674));
    EXPECT_EQ(panel->imgView().objectName(), "ImgView");
    EXPECT_EQ(panel->imgView().geometry(), QRect(0, 0, 650, 654));
    EXPECT_EQ(panelChild<QWidget>("Panel1")->geometry(), QRect(0, 654, 650, 20));
    EXPECT_EQ(positionButton()->text(), "Position");
    EXPECT_EQ(positionButton()->geometry(), QRect(3, 1, 62, 17));
    EXPECT_TRUE(positionButton()->isChecked());
    EXPECT_EQ(tachoButton()->text(), "Tacho");
    EXPECT_EQ(tachoButton()->geometry(), QRect(71, 1, 66, 17));
    EXPECT_FALSE(panel->showsTachoScale());

    EXPECT_EQ(dial(), expectedDial(folder.path("bckg_pos.jpg"), positionScaleLabels({640, 640})));
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_TRUE(window->findChild<QCheckBox*>(QStringLiteral("cbDisplay"))->isEnabled());
}

TEST_F(AnaloguePanelTest, CreatesTheTachoNeedleBelowThePositionNeedle) {
    startPanel();

    const auto& layers = panel->imgView().layers();
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0].get(), &panel->tachoNeedle());
    EXPECT_EQ(layers[1].get(), &panel->positionNeedle());

    const struct {
        const char* name;
        RotLayer& needle;
        int alpha;
        PointF32 position;
        bool visible;
    } needles[] = {
        {"tacho", panel->tachoNeedle(), 150, {320.0f, 320.0f}, false},
        {"position", panel->positionNeedle(), 190, {319.5f, 319.5f}, true},
    };
    for (const auto& n : needles) {
        EXPECT_EQ(n.needle.MasterAlpha(), n.alpha) << n.name;
        EXPECT_EQ(n.needle.Position(), n.position) << n.name;
        EXPECT_EQ(n.needle.BitmapCenter(), (PointF32{10.0f, 2.0f})) << n.name;
        EXPECT_TRUE(n.needle.Scaled()) << n.name;
        EXPECT_EQ(n.needle.isVisible(), n.visible) << n.name;
        EXPECT_EQ(n.needle.Angle(), 0.0f) << n.name;
        EXPECT_EQ(n.needle.Bitmap().size(), QSize(21, 5)) << n.name;
        EXPECT_EQ(qAlpha(n.needle.Bitmap().pixel(0, 0)), 0)
            << n.name << ": the white is transparent";
    }
}

TEST_F(AnaloguePanelTest, NeedleAnglesFollowTheFractions) {
    startPanel();
    struct Case {
        double fraction;
        float position;
        float tacho;
    };
    const Case cases[] = {
        {0.0, 90.0f, 210.0f},
        {0.25, 0.0f, 150.0f},
        {0.5, -90.0f, 90.0f},
        {0.75, -180.0f, 30.0f},
        {1023.0 / 1024.0, static_cast<float>(90.0 - 360.0 * 1023.0 / 1024.0), -29.765625f},
        {4095.0 / 4096.0, -269.912109375f, static_cast<float>(210.0 - 240.0 * 4095.0 / 4096.0)},
    };
    for (const Case& c : cases) {
        panel->UpdateNeedles(c.fraction, c.fraction);
        EXPECT_EQ(panel->positionNeedle().Angle(), c.position) << c.fraction;
        EXPECT_EQ(panel->tachoNeedle().Angle(), c.tacho) << c.fraction;
    }
}

// Where the needle's tip points on the view, in degrees clockwise from the top.
double pointsAt(RotLayer& needle) {
    needle.PrepareTransformation();
    const QTransform& t = needle.Transformation();
    const PointF32 c = needle.BitmapCenter();
    const QPointF pivot = t.map(QPointF(c.x, c.y));
    const QPointF tip = t.map(QPointF(c.x + 10.0, c.y));
    const double degrees =
        std::atan2(tip.x() - pivot.x(), pivot.y() - tip.y()) * 180.0 / std::numbers::pi;
    return degrees < -1e-9 ? degrees + 360.0 : degrees;
}

TEST_F(AnaloguePanelTest, NeedlesPointAtTheirLabelsOnTheDial) {
    startPanel();
    struct Case {
        double position;
        double positionDegrees;  // clockwise from the top
        double tacho;
        double tachoDegrees;
    };
    const Case cases[] = {
        {0.0, 0.0, 0.0, 240.0},     // top; the tacho needle at its 0 Hz label, lower left
        {0.25, 90.0, 0.5, 0.0},     // right; the tacho needle at the top, half the range
        {0.5, 180.0, 0.75, 60.0},   // bottom
        {0.75, 270.0, 1.0, 120.0},  // left; the tacho needle at the full range, lower right
    };
    for (const Case& c : cases) {
        panel->UpdateNeedles(c.position, c.tacho);
        EXPECT_NEAR(pointsAt(panel->positionNeedle()), c.positionDegrees, 1e-3) << c.position;
        EXPECT_NEAR(pointsAt(panel->tachoNeedle()), c.tachoDegrees, 1e-3) << c.tacho;
    }
}

TEST_F(AnaloguePanelTest, OnlyTheVisibleNeedleRepaintsTheView) {
    startPanel();
    int repaints = 0;
    QObject::connect(&panel->imgView(), &ImageView::changed, [&repaints] { ++repaints; });

    // A quarter turn of the position would be the angle 0 it starts at, and repaint nothing.
    panel->UpdateNeedles(0.5, 0.25);
    EXPECT_EQ(repaints, 1);
    // Both needles are turned, the hidden one too, so a switch shows the current value.
    EXPECT_EQ(panel->tachoNeedle().Angle(), 150.0f);
}

TEST_F(AnaloguePanelTest, StillNeedlesRepaintNothing) {
    startPanel();
    panel->UpdateNeedles(0.5, 0.25);
    int repaints = 0;
    QObject::connect(&panel->imgView(), &ImageView::changed, [&repaints] { ++repaints; });

    panel->UpdateNeedles(0.5, 0.25);
    EXPECT_EQ(repaints, 0);
}

// Gathers the regions a widget paints.
class PaintedRegions : public QObject {
public:
    explicit PaintedRegions(QWidget& widget) { widget.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    // Runs the event loop until something was painted, for a bounded number of rounds.
    QRegion next() {
        painted = QRegion();
        for (int round = 0; round < 100 && painted.isEmpty(); ++round)
            QCoreApplication::processEvents();
        return painted;
    }
    QRegion painted;
};

std::int64_t pixelsIn(const QRegion& region) {
    std::int64_t pixels = 0;
    for (const QRect& rect : region) pixels += std::int64_t{rect.width()} * rect.height();
    return pixels;
}

// The turning needles repaint only where they were and where they are; what the window then
// shows is, pixel for pixel, what painting the whole view afresh gives.
TEST_F(AnaloguePanelTest, TurningNeedlesRepaintLittleAndLeaveWhatAFullRedrawShows) {
    for (const char* name : {"bckg_pos.jpg", "bckg_tah.jpg", "kaz.bmp"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(QE7204_ASSETS_DIR "/") + QString::fromLatin1(name),
                                folder.path(name)));
    startSimulated();
    makePanel();
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    ImageView& view = panel->imgView();
    PaintedRegions regions(view);

    const struct {
        const char* what;
        QSize panelSize;
        bool tacho;
    } cases[] = {
        {"designed size, position", {650, 674}, false},
        {"designed size, tacho", {650, 674}, true},
        {"scaled by an uneven factor, position", {977, 1013}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        panel->resize(c.panelSize);
        (c.tacho ? tachoButton() : positionButton())->setChecked(true);
        regions.next();
        double position = 0.0;
        double tacho = 0.0;
        std::int64_t mostPixels = 0;
        for (int step = 0; step < 60; ++step) {
            // Mostly a readout's step, now and then a jump across the dial.
            position = std::fmod(position + (step % 13 == 0 ? 0.37 : 1.0 / 97.0), 1.0);
            tacho = std::fmod(tacho + (step % 7 == 0 ? 0.41 : 0.013), 1.0);
            panel->UpdateNeedles(position, tacho);
            mostPixels = std::max(mostPixels, pixelsIn(regions.next()));
        }
        // The rectangle around a needle turned half-way between the axes is half the view.
        EXPECT_LT(mostPixels, std::int64_t{view.width()} * view.height() / 4);

        const QImage shown = panel->screen()
                                 ->grabWindow(panel->winId())
                                 .toImage()
                                 .copy(view.geometry())
                                 .convertToFormat(QImage::Format_RGB32);
        const QImage full = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), full.size());
        int differing = 0;
        for (int y = 0; y < full.height(); ++y)
            for (int x = 0; x < full.width(); ++x)
                if (shown.pixel(x, y) != full.pixel(x, y)) ++differing;
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(AnaloguePanelTest, SwitchingScalesSwapsTheNeedlesAndDrawsTheDial) {
    startPanel();
    const QImage positionDial =
        expectedDial(folder.path("bckg_pos.jpg"), positionScaleLabels({640, 640}));

    tachoButton()->setChecked(true);
    EXPECT_TRUE(panel->showsTachoScale());
    EXPECT_TRUE(panel->tachoNeedle().isVisible());
    EXPECT_FALSE(panel->positionNeedle().isVisible());
    // No chip has been read yet: the range is 0, and every label reads 0 Hz.
    EXPECT_EQ(dial(), expectedDial(folder.path("bckg_tah.jpg"), tachoScaleLabels({640, 640}, 0.0)));

    positionButton()->setChecked(true);
    EXPECT_FALSE(panel->tachoNeedle().isVisible());
    EXPECT_TRUE(panel->positionNeedle().isVisible());
    EXPECT_EQ(dial(), positionDial);
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(AnaloguePanelTest, TachoLabelsCarryTheRangeOfTheirDrawing) {
    startPanel();
    derived().TachoRangeHz = 2048.0;
    tachoButton()->setChecked(true);
    const QImage at2048 =
        expectedDial(folder.path("bckg_tah.jpg"), tachoScaleLabels({640, 640}, 2048.0));
    EXPECT_EQ(dial(), at2048);

    // A new range alone does not redraw; SkalaJeTaho does.
    derived().TachoRangeHz = 16.0;
    EXPECT_EQ(dial(), at2048);
    panel->SkalaJeTaho();
    EXPECT_EQ(dial(),
              expectedDial(folder.path("bckg_tah.jpg"), tachoScaleLabels({640, 640}, 16.0)));
}

TEST_F(AnaloguePanelTest, WithoutImageFilesEverythingButTheDrawingWorks) {
    startSimulated();
    makePanel();

    EXPECT_TRUE(dial().isNull());
    EXPECT_TRUE(panel->tachoNeedle().Bitmap().isNull());
    EXPECT_TRUE(panel->positionNeedle().Bitmap().isNull());
    EXPECT_EQ(panel->tachoNeedle().Position(), (PointF32{0.0f, 0.0f}));
    EXPECT_EQ(panel->positionNeedle().Position(), (PointF32{0.0f, 0.0f}));
    EXPECT_TRUE(panel->positionNeedle().Scaled());

    tachoButton()->setChecked(true);
    EXPECT_TRUE(panel->tachoNeedle().isVisible());
    EXPECT_FALSE(panel->positionNeedle().isVisible());
    panel->UpdateNeedles(0.5, 0.5);
    // Nothing to draw: the view shows its workspace colour and nothing else.
    const QImage shown = panel->imgView().grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(650, 654));
    QImage workspace(shown.size(), QImage::Format_RGB32);
    workspace.fill(panel->imgView().palette().color(QPalette::Dark));
    EXPECT_EQ(shown, workspace);
    EXPECT_TRUE(sink.shown.empty());
}

// A dial that is not there, is no regular file, or claims a picture too large to decode all
// count as missing: no message, and nothing waits or decodes.
TEST_F(AnaloguePanelTest, AMissingDialKeepsTheOtherScalesDialButSwapsTheNeedles) {
    const struct {
        const char* name;
        std::function<void(const QString&)> make;
    } cases[] = {
        {"missing", [](const QString&) {}},
        {"FIFO",
         [](const QString& path) {
             ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0666), 0);
         }},
        {"20000 pixels a side",
         [](const QString& path) { writeBytes(path, jpegClaimingSize(20000, 20000)); }},
        {"65500 pixels high",
         [](const QString& path) { writeBytes(path, jpegClaimingSize(640, 65500)); }},
    };
    writeDial(folder.path("bckg_pos.jpg"), {640, 640}, kPositionDialColour);
    folder.writeNeedle();
    startSimulated();
    makePanel();
    const QImage positionDial = dial();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(folder.path("bckg_tah.jpg"));
        c.make(folder.path("bckg_tah.jpg"));

        tachoButton()->setChecked(true);
        EXPECT_EQ(dial(), positionDial);
        EXPECT_TRUE(panel->tachoNeedle().isVisible());
        EXPECT_FALSE(panel->positionNeedle().isVisible());
        EXPECT_TRUE(sink.shown.empty());
        positionButton()->setChecked(true);
    }
}

TEST_F(AnaloguePanelTest, DialsAreRelabelledOnEachDrawingAndAChangedFileIsReadAgain) {
    startPanel();
    tachoButton()->setChecked(true);
    const QImage positionDial =
        expectedDial(folder.path("bckg_pos.jpg"), positionScaleLabels({640, 640}));
    QImage tachoDialAt16 = decodeJpegFile(folder.path("bckg_tah.jpg")).image;
    drawDialLabels(tachoDialAt16, tachoScaleLabels({640, 640}, 16.0));

    // The labels are drawn anew on the dial each time, never over earlier labels.
    positionButton()->setChecked(true);
    EXPECT_EQ(dial(), positionDial);
    tachoButton()->setChecked(true);
    derived().TachoRangeHz = 16.0;
    panel->SkalaJeTaho();
    EXPECT_EQ(dial(), tachoDialAt16);
    EXPECT_TRUE(sink.shown.empty());

    // A file that changed is decoded again, as the files are read each time they are needed.
    writeBytes(folder.path("bckg_pos.jpg"), "this is no JPEG");
    positionButton()->setChecked(true);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].first, MessageKind::Exception);
}

TEST_F(AnaloguePanelTest, ADialFileThatAppearsLaterIsFound) {
    writeDial(folder.path("bckg_pos.jpg"), {640, 640}, kPositionDialColour);
    folder.writeNeedle();
    startSimulated();
    makePanel();
    tachoButton()->setChecked(true);
    positionButton()->setChecked(true);

    writeDial(folder.path("bckg_tah.jpg"), {640, 640}, kTachoDialColour);
    tachoButton()->setChecked(true);
    EXPECT_EQ(dial(), expectedDial(folder.path("bckg_tah.jpg"), tachoScaleLabels({640, 640}, 0.0)));
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(AnaloguePanelTest, AnUndecodableDialIsReportedAndThePanelGoesOn) {
    folder.writeDials();
    folder.writeNeedle();
    writeBytes(folder.path("bckg_tah.jpg"), "this is no JPEG");
    startSimulated();
    makePanel();

    tachoButton()->setChecked(true);
    // The view shows the cleared dial, opaque black, at the size it had.
    ASSERT_EQ(dial().size(), QSize(640, 640));
    EXPECT_EQ(dial().pixel(320, 66), qRgb(0, 0, 0));
    EXPECT_EQ(dial().pixel(0, 0), qRgb(0, 0, 0));
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].first, MessageKind::Exception);
    EXPECT_EQ(sink.shown[0].second,
              decodeJpegFile(folder.path("bckg_tah.jpg")).error.toStdString());

    positionButton()->setChecked(true);
    EXPECT_EQ(dial(), expectedDial(folder.path("bckg_pos.jpg"), positionScaleLabels({640, 640})));
}

TEST_F(AnaloguePanelTest, AnUndecodableDialAtStartStillGivesBothNeedles) {
    folder.writeNeedle();
    writeBytes(folder.path("bckg_pos.jpg"), "GIF89a");
    startSimulated();
    makePanel();

    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].first, MessageKind::Exception);
    EXPECT_EQ(panel->imgView().layers().size(), 2u);
    EXPECT_EQ(panel->positionNeedle().Position(), (PointF32{-0.5f, -0.5f}));
    EXPECT_EQ(panel->positionNeedle().Bitmap().size(), QSize(21, 5));
}

TEST_F(AnaloguePanelTest, ABoxDuringThePanelsStartUpRunsNoTickAndTheFirstTickFindsThePanel) {
    folder.writeNeedle();
    writeDial(folder.path("bckg_tah.jpg"), {640, 640}, kTachoDialColour);
    writeBytes(folder.path("bckg_pos.jpg"), "GIF89a");
    startSimulated();
    IniStore ini(QString::fromStdString(device->iniFilePath()));
    ASSERT_TRUE(ini.writeString("QE000001", "Display", "tacho"));
    std::vector<bool> timerRunning;
    boxes.whileUp = [&] {
        QCoreApplication::processEvents();
        timerRunning.push_back(pollTimer()->isActive());
    };

    makePanel();
    EXPECT_EQ(timerRunning, std::vector<bool>{false});
    EXPECT_EQ(window->LastSecondTick, static_cast<std::uint32_t>(kStartMs - 10'000))
        << "no tick has run";

    window->startPolling();
    runEventLoopUntilTick();
    holdTimer();

    // The first tick hides "Show Display" and so loads the stored layout into the panel.
    EXPECT_FALSE(find<QCheckBox>("cbDisplay")->isChecked());
    EXPECT_TRUE(panel->showsTachoScale());
    // Drawn before the same tick first read the chip, with no range yet, and again once the
    // fill brought the range: not "0 Hz" at every label.
    ASSERT_GT(derived().TachoRangeHz, 0.0);
    EXPECT_EQ(dial(), expectedDial(folder.path("bckg_tah.jpg"),
                                   tachoScaleLabels({640, 640}, derived().TachoRangeHz)));
    EXPECT_EQ(sink.shown.size(), 1u);
}

TEST_F(AnaloguePanelTest, AnUnreadableNeedleIsReportedAndLeavesBothNeedlesEmpty) {
    folder.writeDials();
    writeBytes(folder.path("kaz.bmp"), "BM but nothing more");
    startSimulated();
    makePanel();

    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].first, MessageKind::Exception);
    EXPECT_FALSE(sink.shown[0].second.empty());
    EXPECT_TRUE(panel->tachoNeedle().Bitmap().isNull());
    EXPECT_TRUE(panel->positionNeedle().Bitmap().isNull());
    EXPECT_TRUE(panel->positionNeedle().Scaled());
    EXPECT_EQ(dial(), expectedDial(folder.path("bckg_pos.jpg"), positionScaleLabels({640, 640})));
}

TEST_F(AnaloguePanelTest, ImageFilesAreLookedUpInTheCurrentDirectoryThenBesideTheProgram) {
    const QString name = QStringLiteral("panel_lookup_probe.bmp");
    const QString besideProgram = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    EXPECT_TRUE(locatePanelImage(name).isEmpty());

    writeBytes(besideProgram, "x");
    EXPECT_EQ(locatePanelImage(name), besideProgram);
    writeBytes(folder.path("panel_lookup_probe.bmp"), "x");
    EXPECT_EQ(locatePanelImage(name), name);
    QFile::remove(besideProgram);
}

TEST_F(AnaloguePanelTest, AnInstalledProgramFindsImagesInItsDataFolderWhereverItWasMoved) {
    // An installation under some prefix: the program in bin/, its data in share/qe7204-tool/.
    QTemporaryDir prefix;
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("share/qe7204-tool")));
    const QString programFolder = prefix.filePath(QStringLiteral("bin"));
    const QString name = QStringLiteral("installed_lookup_probe.bmp");
    const QString installed = prefix.filePath(QStringLiteral("share/qe7204-tool/") + name);
    const QString besideProgram = QDir(programFolder).filePath(name);

    EXPECT_TRUE(locatePanelImage(name, programFolder).isEmpty());
    writeBytes(installed, "x");
    EXPECT_EQ(locatePanelImage(name, programFolder), installed);
    writeBytes(besideProgram, "x");  // beside the program comes first
    EXPECT_EQ(locatePanelImage(name, programFolder), besideProgram);
}

TEST(PanelPlacement, CentresTheOuterSizeOverTheMainWindowNoFurtherLeftOrUpThanTheDesktop) {
    const QRect desktop(0, 0, 1600, 1000);
    const QRect besideALeftScreen(-1280, 0, 2880, 1000);
    const QSize panel(650, 674);
    struct Case {
        const char* what;
        QRect mainWindow;  // outer
        QMargins frame;
        QRect desktop;
        QPoint at;  // the panel frame's top-left corner
    };
    const Case cases[] = {
        {"no frame", {100, 200, 800, 576}, {}, desktop, {175, 151}},
        {"framed", {100, 200, 800, 576}, {8, 31, 8, 8}, desktop, {167, 132}},
        {"halves towards zero", {0, 100, 801, 577}, {}, desktop, {75, 52}},
        {"kept on the desktop", {0, 0, 400, 300}, {4, 20, 4, 4}, desktop, {0, 0}},
        // Under openbox: taller than the main window at the top of the screen, the frame's
        // top (the title bar) stays on the screen.
        {"title bar on the screen", {0, 0, 786, 556}, {1, 20, 1, 1}, desktop, {67, 0}},
        {"framed, room above", {200, 300, 786, 556}, {1, 20, 1, 1}, desktop, {267, 231}},
        {"desktop left of the origin", {-1000, 200, 800, 576}, {}, besideALeftScreen, {-925, 151}},
        {"kept right of its left edge",
         {-1280, 200, 400, 576},
         {},
         besideALeftScreen,
         {-1280, 151}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(centredFramePosition(c.mainWindow, panel, c.frame, c.desktop), c.at) << c.what;
}

// A 1366x768 screen with a 30 px panel at the bottom, beside a 1920x1080 one to its right.
TEST(PanelPlacement, EveryFrameEndsWhollyOnAScreen) {
    const QRect laptop(0, 0, 1366, 738);
    const QRect large(1366, 0, 1920, 1050);
    struct Case {
        const char* what;
        QRect frame;
        QList<QRect> screens;
        QRect kept;
    };
    const Case cases[] = {
        {"fits: stays put", {100, 20, 652, 705}, {laptop}, {100, 20, 652, 705}},
        {"the designed centring where it fits", {67, 0, 652, 705}, {laptop}, {67, 0, 652, 705}},
        {"centred low: the strip back on the screen",
         {300, 200, 652, 705},
         {laptop},
         {300, 33, 652, 705}},
        {"stored on a larger screen", {1200, 600, 652, 705}, {laptop}, {714, 33, 652, 705}},
        {"stored left of and above the screen", {-400, -80, 652, 705}, {laptop}, {0, 0, 652, 705}},
        {"larger than the screen", {10, 10, 1500, 900}, {laptop}, {0, 0, 1366, 738}},
        {"on the screen it overlaps most",
         {1300, 100, 652, 705},
         {laptop, large},
         {1366, 100, 652, 705}},
        {"on no screen: the primary", {5000, 3000, 652, 705}, {laptop, large}, {714, 33, 652, 705}},
        {"no screen known", {5000, 3000, 652, 705}, {}, {5000, 3000, 652, 705}},
    };
    for (const Case& c : cases) EXPECT_EQ(frameKeptOnScreen(c.frame, c.screens), c.kept) << c.what;
}

TEST_F(AnaloguePanelTest, TheFirstShowingCentresThePanelOverTheMainWindow) {
    startPanel();
    window->show();  // on the screen, with its frame, as it is when the panel is first shown
    const QRect desktop = window->screen()->virtualGeometry();
    const QSize main = window->frameGeometry().size();
    struct Case {
        QPoint mainWindowAt;
        bool clampedTop;
    };
    const Case cases[] = {
        {desktop.topLeft() + QPoint(400, 300), false},
        // Taller than the main window at the top of the desktop: never further up than it.
        {desktop.topLeft(), true},
    };
    for (const Case& c : cases) {
        panel = nullptr;
        makePanel();
        window->move(c.mainWindowAt);
        panel->setPanelVisible(true);
        ASSERT_TRUE(panel->isPanelVisible());
        const QRect shown = panel->frameGeometry();
        const QPoint centred(c.mainWindowAt.x() + (main.width() - shown.width()) / 2,
                             c.mainWindowAt.y() + (main.height() - shown.height()) / 2);
        const QPoint designed(centred.x(), c.clampedTop ? desktop.top() : centred.y());
        EXPECT_EQ(c.clampedTop, centred.y() < desktop.top());
        // Then wholly onto the screen, which moves it only where it would stand off it.
        const QRect kept =
            frameKeptOnScreen({designed, shown.size()}, {window->screen()->availableGeometry()});
        EXPECT_EQ(shown.topLeft(), kept.topLeft());
        EXPECT_TRUE(window->screen()->availableGeometry().contains(shown));

        // Later showings leave it where it is.
        panel->move(desktop.topLeft() + QPoint(10, 20));
        panel->setPanelVisible(false);
        window->move(desktop.topLeft() + QPoint(50, 50));
        panel->setPanelVisible(true);
        EXPECT_EQ(panel->frameGeometry().topLeft(), desktop.topLeft() + QPoint(10, 20));
    }
}

// Closes every message box that is up, so a box the test expected to close cannot hang it.
void closeMessageBoxes() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget)) box->reject();
}

TEST_F(AnaloguePanelTest, TheToolsMessageBoxesBlockThePanelAlongWithTheMainWindow) {
    startPanel();
    window->show();
    MessageBoxSink boxes(QStringLiteral("QE7204 interface"));
    boxes.setOwner(window.get());
    // Shown, hidden and shown again: the panel stays with the main window.
    for (bool visible : {true, false, true}) panel->setPanelVisible(visible);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    EXPECT_EQ(panel->windowHandle()->transientParent(), window->windowHandle());

    const QPoint tacho = tachoButton()->mapTo(panel.get(), tachoButton()->rect().center());
    bool clickedUnderTheBox = false;
    QTimer::singleShot(0, [&] {
        QTest::mouseClick(panel->windowHandle(), Qt::LeftButton, {}, tacho);
        clickedUnderTheBox = tachoButton()->isChecked();
        closeMessageBoxes();
    });
    boxes.show(MessageKind::Error, "It is not allowed to connected more than one QE7204!");
    EXPECT_FALSE(clickedUnderTheBox);

    QTest::mouseClick(panel->windowHandle(), Qt::LeftButton, {}, tacho);
    EXPECT_TRUE(tachoButton()->isChecked()) << "the same click once the box has gone";
}

class DeactivationTest : public PanelTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DeactivationTest, BringsTheSettingsBackOnlyWhenTheyAreHidden) {
    const bool settingsHidden = GetParam();
    startPanel();
    if (settingsHidden) {
        settingsToggle()->setChecked(false);
        window->SpeedButtonHideClick();
        ASSERT_EQ(window->height(), window->compactHeight());
    }

    panel->FormDeactivate();

    EXPECT_TRUE(settingsToggle()->isChecked());
    EXPECT_EQ(window->height(), window->fullHeight());
    EXPECT_FALSE(find<QWidget>("PanelHiddenDisplay")->isVisibleTo(window.get()));
}

INSTANTIATE_TEST_SUITE_P(Settings, DeactivationTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Hidden" : "Shown"; });

TEST_F(AnaloguePanelTest, AnotherToolWindowTakingOverDeactivatesThePanel) {
    startPanel();
    window->show();
    panel->setPanelVisible(true);
    settingsToggle()->setChecked(false);
    window->SpeedButtonHideClick();

    QApplication::setActiveWindow(panel.get());
    ASSERT_TRUE(panel->isActiveWindow());
    QApplication::setActiveWindow(window.get());

    EXPECT_TRUE(settingsToggle()->isChecked());
    EXPECT_EQ(window->height(), window->fullHeight());
}

TEST_F(AnaloguePanelTest, TheCursorTurnsIntoAHandOverTheZeroZoneOfThePositionScale) {
    startPanel();
    struct Case {
        bool tacho;
        QPoint at;
        Qt::CursorShape cursor;
    };
    const Case cases[] = {
        {false, {259, 445}, Qt::PointingHandCursor}, {false, {391, 478}, Qt::PointingHandCursor},
        {false, {258, 445}, Qt::ArrowCursor},        {false, {325, 300}, Qt::ArrowCursor},
        {true, {325, 460}, Qt::ArrowCursor},         {false, {325, 460}, Qt::PointingHandCursor},
    };
    for (const Case& c : cases) {
        (c.tacho ? tachoButton() : positionButton())->setChecked(true);
        QMouseEvent move(QEvent::MouseMove, QPointF(c.at), QPointF(c.at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&panel->imgView(), &move);
        EXPECT_EQ(panel->imgView().cursor().shape(), c.cursor)
            << c.at.x() << ", " << c.at.y() << (c.tacho ? " on tacho" : "");
    }
}

}  // namespace
}  // namespace qe::ui::test
