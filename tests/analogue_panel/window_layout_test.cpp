// Saving and loading the windows' places, sizes and the panel's scale in the ini file.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>

#include <algorithm>

#include "dial_scale.h"
#include "ini_store.h"
#include "jpeg_image.h"
#include "outer_geometry.h"
#include "panel_fixture.h"
#include "recording_sink.h"
#include "window_layout.h"

namespace qe::ui::test {
namespace {

QString fileText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

// Lets the event loop run until the window system has exposed the window; one that never
// is ends it after a bounded number of rounds.
void waitUntilExposed(QWidget& window) {
    for (int round = 0; round < 100; ++round) {
        if (window.windowHandle() && window.windowHandle()->isExposed()) return;
        QCoreApplication::processEvents();
    }
}

// Two plain windows and the scale buttons, as the layout sees them.
class WindowLayoutTest : public ::testing::Test {
protected:
    WindowLayoutTest() {
        settings.setGeometry(11, 22, 784, 500);
        display.setGeometry(33, 44, 650, 674);
        position->setChecked(true);
    }

    LayoutStore store(const QString& section = QStringLiteral("QE000001")) const {
        return {dir.filePath(QStringLiteral("tool.ini")), section};
    }

    QTemporaryDir dir;
    QWidget settings;
    QWidget display;
    QWidget buttons;
    QRadioButton* position = new QRadioButton(&buttons);
    QRadioButton* tacho = new QRadioButton(&buttons);
    LayoutWindows windows{settings, display, *position, *tacho};
    qe::test::RecordingSink sink;
};

TEST_F(WindowLayoutTest, SavingWritesTheEightPlacesAndTheScaleUnderTheSerialNumber) {
    tacho->setChecked(true);
    saveWindowLayout(store(), windows, sink);

    EXPECT_EQ(fileText(store().iniFilePath),
              "[QE000001]\n"
              "Display=tacho\n"
              "DisplayHeight=674\n"
              "DisplayLeft=33\n"
              "DisplayTop=44\n"
              "DisplayWidth=650\n"
              "SettingsHeight=500\n"
              "SettingsLeft=11\n"
              "SettingsTop=22\n"
              "SettingsWidth=784\n");
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(WindowLayoutTest, LoadingPutsTheWindowsBackWhereTheyWereSaved) {
    saveWindowLayout(store(), windows, sink);
    settings.setGeometry(100, 110, 700, 300);
    display.setGeometry(120, 130, 400, 420);
    // Shown, so that their frames are known and the stored outer sizes apply at once.
    settings.show();
    display.show();
    ASSERT_FALSE(frameMarginsOf(display).isNull());
    tacho->setChecked(true);

    loadWindowLayout(store(), windows);

    EXPECT_EQ(settings.frameGeometry(), QRect(11, 22, 784, 500));
    EXPECT_EQ(display.frameGeometry(), QRect(33, 44, 650, 674));
    EXPECT_TRUE(position->isChecked());
}

TEST_F(WindowLayoutTest, AnOuterSizeLoadedBeforeTheFirstShowingWaitsForTheFrame) {
    struct Case {
        const char* what;
        Qt::WindowFlags flags;
    };
    const Case cases[] = {
        {"framed", Qt::Window},
        // No frame to take off: the size applies as it is once the window is on the screen.
        {"frameless", Qt::Window | Qt::FramelessWindowHint},
    };
    IniStore ini(store().iniFilePath);
    ASSERT_TRUE(ini.writeInt(store().section, "DisplayWidth", 400));
    ASSERT_TRUE(ini.writeInt(store().section, "DisplayHeight", 500));
    const QSize stored(400, 500);
    for (const Case& c : cases) {
        QWidget window(nullptr, c.flags);
        window.setGeometry(33, 44, 650, 674);
        const LayoutWindows these{settings, window, *position, *tacho};

        loadWindowLayout(store(), these);
        EXPECT_EQ(window.size(), QSize(650, 674)) << c.what << ": no frame known yet";
        // A save in the meantime writes the size the window is about to get.
        ASSERT_TRUE(ini.writeInt(store().section, "DisplayWidth", 0));
        saveWindowLayout(store(), these, sink);
        EXPECT_EQ(ini.readInt(store().section, "DisplayWidth", -1), 400) << c.what;

        window.show();
        waitUntilExposed(window);
        EXPECT_EQ(frameMarginsOf(window).isNull(), c.flags.testFlag(Qt::FramelessWindowHint))
            << c.what;
        EXPECT_EQ(window.frameGeometry().size(), stored) << c.what;
        EXPECT_EQ(window.size(), stored.shrunkBy(frameMarginsOf(window))) << c.what;

        // Applied once: a size the user gives the window later stays.
        window.resize(300, 310);
        window.hide();
        window.show();
        waitUntilExposed(window);
        EXPECT_EQ(window.size(), QSize(300, 310)) << c.what;
    }
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(WindowLayoutTest, APlaceLoadedBeforeTheFirstShowingIsTheFrames) {
    struct Case {
        const char* what;
        bool madeBefore;  // the window exists in the window system, not yet shown
    };
    const Case cases[] = {{"not made yet", false}, {"made", true}};
    for (const Case& c : cases) {
        QFile::remove(store().iniFilePath);
        IniStore ini(store().iniFilePath);
        ASSERT_TRUE(ini.writeInt(store().section, "DisplayLeft", 140));
        ASSERT_TRUE(ini.writeInt(store().section, "DisplayTop", 150));
        QWidget window;
        window.setGeometry(33, 44, 650, 674);
        if (c.madeBefore) window.winId();
        const LayoutWindows these{settings, window, *position, *tacho};

        loadWindowLayout(store(), these);
        // A save in the meantime writes the place the window is about to get.
        ASSERT_TRUE(ini.writeInt(store().section, "DisplayTop", 0));
        saveWindowLayout(store(), these, sink);
        EXPECT_EQ(ini.readInt(store().section, "DisplayTop", -1), 150) << c.what;

        window.show();
        waitUntilExposed(window);
        ASSERT_FALSE(frameMarginsOf(window).isNull()) << c.what;
        EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(140, 150)) << c.what;
        EXPECT_EQ(window.size(), QSize(650, 674)) << c.what;
    }
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(WindowLayoutTest, TheScaleIsThePositionScaleOnlyForExactlyPosition) {
    struct Case {
        const char* stored;  // nullptr: no "Display" key
        bool position;
    };
    const Case cases[] = {
        {"position", true},  {"tacho", false}, {"Position", false},
        {"POSITION", false}, {"", false},      {nullptr, true},
    };
    for (const Case& c : cases) {
        QFile::remove(store().iniFilePath);
        IniStore ini(store().iniFilePath);
        if (c.stored) {
            ASSERT_TRUE(ini.writeString(store().section, "Display", c.stored));
        }
        (c.position ? tacho : position)->setChecked(true);

        loadWindowLayout(store(), windows);

        EXPECT_EQ(position->isChecked(), c.position) << (c.stored ? c.stored : "(missing)");
        EXPECT_EQ(tacho->isChecked(), !c.position) << (c.stored ? c.stored : "(missing)");
    }
}

TEST_F(WindowLayoutTest, MissingOrNonNumericValuesLeaveTheirPropertyAlone) {
    IniStore ini(store().iniFilePath);
    ASSERT_TRUE(ini.writeInt(store().section, "DisplayLeft", 100));
    ASSERT_TRUE(ini.writeString(store().section, "DisplayTop", "high"));
    ASSERT_TRUE(ini.writeString(store().section, "SettingsWidth", "12.5"));
    tacho->setChecked(true);

    loadWindowLayout(store(), windows);

    EXPECT_EQ(display.frameGeometry(), QRect(100, 44, 650, 674));
    EXPECT_EQ(settings.frameGeometry(), QRect(11, 22, 784, 500));
    EXPECT_TRUE(position->isChecked()) << "the default of Display";
}

TEST_F(WindowLayoutTest, EachSerialNumberKeepsItsOwnLayoutTheEmptyOneToo) {
    struct Case {
        QString section;
        QPoint displayAt;
    };
    const Case cases[] = {{"QE000001", {10, 10}}, {"QE000002", {200, 210}}, {"", {300, 310}}};
    for (const Case& c : cases) {
        display.move(c.displayAt);
        saveWindowLayout(store(c.section), windows, sink);
    }
    for (const Case& c : cases) {
        display.move(0, 0);
        loadWindowLayout(store(c.section), windows);
        EXPECT_EQ(display.frameGeometry().topLeft(), c.displayAt)
            << "[" << c.section.toStdString() << "]";
    }
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(WindowLayoutTest, AFileThatCannotBeWrittenIsReportedOnce) {
    // A path below a regular file can never be created.
    const QString blocker = dir.filePath(QStringLiteral("file"));
    writeBytes(blocker, "x");
    const LayoutStore unwritable{blocker + QStringLiteral("/tool.ini"), QStringLiteral("QE000001")};

    saveWindowLayout(unwritable, windows, sink);

    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].first, MessageKind::Exception);
    EXPECT_EQ(sink.shown[0].second, ("Unable to write to " + unwritable.iniFilePath).toStdString());
}

// The layout as the main window drives it, through the panel.
using PanelLayoutTest = PanelTest;

TEST_F(PanelLayoutTest, UsesTheToolsIniFileAndTheAdaptersSection) {
    startPanel();
    ASSERT_EQ(link->lastOpenedSerial(), "QE000001");
    window->move(5, 6);
    panel->move(70, 80);
    tachoButton()->setChecked(true);

    panel->SaveWindowLayout();

    const IniStore ini(QString::fromStdString(device->iniFilePath()));
    EXPECT_EQ(ini.readInt("QE000001", "SettingsLeft", -1), 5);
    EXPECT_EQ(ini.readInt("QE000001", "SettingsTop", -1), 6);
    EXPECT_EQ(ini.readInt("QE000001", "DisplayLeft", -1), 70);
    EXPECT_EQ(ini.readInt("QE000001", "DisplayTop", -1), 80);
    EXPECT_EQ(ini.readInt("QE000001", "DisplayWidth", -1), 650);
    EXPECT_EQ(ini.readString("QE000001", "Display"), "tacho");
}

TEST_F(PanelLayoutTest, LoadingTheTachoScaleSwitchesThePanelOver) {
    startPanel();
    IniStore ini(QString::fromStdString(device->iniFilePath()));
    ASSERT_TRUE(ini.writeString("QE000001", "Display", "tacho"));

    panel->LoadWindowLayout();

    EXPECT_TRUE(panel->showsTachoScale());
    EXPECT_TRUE(panel->tachoNeedle().isVisible());
    EXPECT_FALSE(panel->positionNeedle().isVisible());
    QImage tachoDial = decodeJpegFile(folder.path("bckg_tah.jpg")).image;
    drawDialLabels(tachoDial, tachoScaleLabels(tachoDial.size(), derived().TachoRangeHz));
    EXPECT_EQ(panel->imgView().bitmap(), tachoDial);
}

TEST_F(PanelLayoutTest, LoadingTheScaleAlreadyShownLeavesTheDialAlone) {
    startPanel();
    for (const char* scale : {"tacho", "position"}) {
        (QString::fromLatin1(scale) == "tacho" ? tachoButton() : positionButton())
            ->setChecked(true);
        IniStore ini(QString::fromStdString(device->iniFilePath()));
        ASSERT_TRUE(ini.writeString("QE000001", "Display", scale));
        const qint64 shownDial = panel->imgView().bitmap().cacheKey();
        int changes = 0;
        const auto counting =
            QObject::connect(&panel->imgView(), &ImageView::changed, [&changes] { ++changes; });

        panel->LoadWindowLayout();

        QObject::disconnect(counting);
        EXPECT_EQ(panel->imgView().bitmap().cacheKey(), shownDial)
            << scale << ": the dial was not drawn again";
        EXPECT_EQ(changes, 0) << scale;
    }
}

TEST_F(PanelLayoutTest, TheMainWindowsSizeLimitsApplyToWhatIsLoaded) {
    startPanel();
    window->show();  // on the screen, as it is whenever a layout is loaded
    IniStore ini(QString::fromStdString(device->iniFilePath()));
    ASSERT_TRUE(ini.writeInt("QE000001", "SettingsHeight", 2000));
    ASSERT_TRUE(ini.writeInt("QE000001", "SettingsWidth", 300));

    panel->LoadWindowLayout();

    EXPECT_EQ(window->width(), window->minimumWidth());
    EXPECT_EQ(window->width(), 784);
    EXPECT_EQ(window->height(), window->maximumHeight());
}

TEST_F(PanelLayoutTest, ShowDisplayPutsThePanelWhereItWasSavedRatherThanCentred) {
    startPanel();
    IniStore ini(QString::fromStdString(device->iniFilePath()));
    ASSERT_TRUE(ini.writeInt("QE000001", "DisplayLeft", 140));
    ASSERT_TRUE(ini.writeInt("QE000001", "DisplayTop", 150));
    auto* showDisplay = find<QCheckBox>("cbDisplay");
    showDisplay->setChecked(false);

    showDisplay->setChecked(true);

    EXPECT_TRUE(panel->isPanelVisible());
    EXPECT_EQ(panel->frameGeometry().topLeft(), QPoint(140, 150));
}

TEST_F(PanelLayoutTest, AStoredSizeReachesThePanelWithItsFrameAtTheFirstShowing) {
    startPanel();
    window->show();
    IniStore ini(QString::fromStdString(device->iniFilePath()));
    ASSERT_TRUE(ini.writeInt("QE000001", "DisplayWidth", 500));
    ASSERT_TRUE(ini.writeInt("QE000001", "DisplayHeight", 520));
    auto* showDisplay = find<QCheckBox>("cbDisplay");
    showDisplay->setChecked(false);  // as the first tick does: loads the layout, panel hidden

    showDisplay->setChecked(true);

    ASSERT_TRUE(panel->isPanelVisible());
    ASSERT_FALSE(frameMarginsOf(*panel).isNull());
    // Centred over the main window by the size it was given, frame included.
    const QRect main = window->frameGeometry();
    const QRect desktop = window->screen()->virtualGeometry();
    const QPoint centred(std::max(main.left() + (main.width() - 500) / 2, desktop.left()),
                         std::max(main.top() + (main.height() - 520) / 2, desktop.top()));
    EXPECT_EQ(panel->frameGeometry(), QRect(centred, QSize(500, 520)));
}

}  // namespace
}  // namespace qe::ui::test
