// Start-up, layout, the settings toggle, "Show Display" and shutdown of the main window.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>

#include "design_fonts.h"
#include "main_window_fixture.h"
#include "project_documentation.h"
#include "radio_group.h"
#include "status_panels.h"

namespace qe::ui::test {
namespace {

class StartUpTest : public MainWindowTest {
protected:
    // What the adapter heard when the window went, in order; only the close of the driver calls.
    std::vector<std::string> shutdownEvents() {
        std::vector<std::string> events;
        for (const auto& event : transcript().events())
            if (event.kind != sim::Transcript::Kind::Call || event.text == "close")
                events.push_back(event.text);
        return events;
    }
};

TEST_F(StartUpTest, ConnectsPowersTheChipAndSetsTheInitialState) {
    startSimulated();

    EXPECT_EQ(transcript().frames(),
              (std::vector<std::string>{"params 0xF0", "query power", "power on", "query power"}));
    EXPECT_EQ(link->lineSettings().baudRate, 250'000u);
    EXPECT_EQ(link->lineSettings().wordLength, 8);
    EXPECT_EQ(link->lineSettings().stopBits, 2);
    EXPECT_EQ(link->lineSettings().parity, 0);
    EXPECT_NE(link->adapterHandle(), 0u);
    EXPECT_TRUE(link->chipPowered());
    EXPECT_TRUE(link->chipAddressList().empty());
    EXPECT_EQ(device->chipAddress(), 0);
    EXPECT_EQ(image(), RegisterImage{});
    EXPECT_TRUE(window->PanelReady);
    EXPECT_EQ(window->LastSecondTick, static_cast<std::uint32_t>(kStartMs - 10'000));
    EXPECT_TRUE(sink.shown.empty());

    EXPECT_EQ(window->objectName(), "TForm1");
    EXPECT_EQ(window->windowTitle(), "QE7204 interface");
    EXPECT_EQ(window->width(), 784);
    EXPECT_EQ(window->height(), 535);
    EXPECT_EQ(find<StatusPanels>("StBar1")->panelText(2),
              QString::fromStdString("Software version: " + FileVersionString()));
    EXPECT_TRUE(find<QCheckBox>("CbBeriSkoz")->isChecked());
}

TEST_F(StartUpTest, WithoutAnAdapterSendsNothingAndDoesNotPowerOn) {
    simulation = sim::makeDefaultSimulation(clock, {.instantReplies = true});
    adapter().unplug();
    start(*simulation);

    EXPECT_TRUE(transcript().frames().empty());
    EXPECT_EQ(link->adapterHandle(), 0u);
    EXPECT_FALSE(link->chipPowered());
}

TEST_F(StartUpTest, NoTickRunsInsideTheMessageBoxesOfStartUp) {
    simulation = sim::makeDefaultSimulation(clock, {.instantReplies = true});
    adapter().failOpen(FT_DEVICE_NOT_OPENED);
    std::vector<bool> timerRunning;
    boxes.whileUp = [&] {
        QCoreApplication::processEvents();
        const QTimer* timer = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == "TForm1")
                timer = top->findChild<QTimer*>(QStringLiteral("Timer1"));
        timerRunning.push_back(timer && timer->isActive());
    };

    start(*simulation);

    ASSERT_FALSE(sink.shown.empty());
    EXPECT_EQ(timerRunning, std::vector<bool>(sink.shown.size(), false));
    EXPECT_EQ(window->LastSecondTick, static_cast<std::uint32_t>(kStartMs - 10'000))
        << "no tick has run";
    // The program starts the cycle once the analogue panel exists too.
    EXPECT_FALSE(pollTimer()->isActive());
    window->startPolling();
    EXPECT_TRUE(pollTimer()->isActive());
    EXPECT_EQ(pollTimer()->interval(), 50);
    EXPECT_EQ(pollTimer()->timerType(), Qt::PreciseTimer);
}

TEST_F(StartUpTest, ClosingSwitchesTheSupplyOffBeforeClosingTheAdapterAndStopsTicking) {
    startSimulated();
    transcript().clear();

    window->close();

    EXPECT_EQ(shutdownEvents(), (std::vector<std::string>{"power off", "query power", "close"}));
    EXPECT_FALSE(adapter().supplyOn());
    EXPECT_FALSE(pollTimer()->isActive());
    window->Timer1Timer();
    EXPECT_FALSE(pollTimer()->isActive());
    window->startPolling();
    EXPECT_FALSE(pollTimer()->isActive());

    transcript().clear();
    window.reset();
    EXPECT_TRUE(transcript().events().empty()) << "shut down once";
}

TEST_F(StartUpTest, AWindowDestroyedWithoutClosingStillSwitchesTheSupplyOff) {
    startSimulated();
    transcript().clear();

    window.reset();

    EXPECT_EQ(shutdownEvents(), (std::vector<std::string>{"power off", "query power", "close"}));
    EXPECT_FALSE(adapter().supplyOn());
}

TEST_F(StartUpTest, ClosingWithoutAnAdapterSendsNothing) {
    simulation = sim::makeDefaultSimulation(clock, {.instantReplies = true});
    adapter().unplug();
    start(*simulation);
    transcript().clear();

    window->close();

    EXPECT_TRUE(transcript().events().empty());
}

TEST_F(StartUpTest, HysteresisListHoldsOneItemPerValueWithItsAngle) {
    startSimulated();
    auto* combo = find<QComboBox>("cbHysteresis");

    ASSERT_EQ(combo->count(), 128);
    EXPECT_EQ(combo->itemText(0), "0 (0.00°)");
    EXPECT_EQ(combo->itemText(1), "1 (0.09°)");
    EXPECT_EQ(combo->itemText(10), "10 (0.88°)");
    EXPECT_EQ(combo->itemText(127), "127 (11.16°)");
    EXPECT_EQ(combo->currentIndex(), 127);
}

TEST_F(StartUpTest, HintsStayUpForSevenSeconds) {
    startSimulated();
    const struct {
        const char* control;
        const char* hint;
    } cases[] = {
        {"CbBeriSkoz", "Enables the continious data refrsh. The refresh rate is 50ms."},
        {"BtnOFF", "Turn the supply voltage OFF"},
        {"RgSTH",
         "Selects the tacho meassuring range. Use lower resolution settings at higher meassuring "
         "ranges."},
        {"RgBufSel",
         "Selects the outputs on the W/Ncos, V/PSin, U/NSin, Td/PCos pins. If the diferentiall "
         "analogue "
         "outputs are not used than it is recommended to set the outputs as UVW."},
        {"SpeedButtonHide", "Show/Hide settings"},
        {"Image321", "Opens this tool's documentation (README.md) in your desktop's viewer."},
    };
    for (const auto& c : cases) {
        auto* control = find(c.control);
        EXPECT_EQ(control->toolTip(), QString::fromUtf8(c.hint)) << c.control;
        EXPECT_EQ(control->toolTipDuration(), 7000) << c.control;
    }
}

// The designed geometry, captions and looks of a sample of controls, after start-up placed
// the top strip.
TEST_F(StartUpTest, ControlsHaveTheirDesignedBoundsAndCaptions) {
    startSimulated();
    const struct {
        const char* control;
        QRect bounds;
        const char* caption;
    } cases[] = {
        {"SpeedButtonHide", {0, 0, 40, 36}, ""},
        {"Panel1", {40, 0, 744, 36}, ""},
        {"Image321", {625, 0, 112, 36}, ""},
        {"Panel2", {737, 0, 7, 36}, ""},
        {"Panel5", {0, 0, 20, 36}, ""},
        {"Panel6", {0, 36, 784, 8}, ""},
        {"Panel7", {0, 44, 784, 2}, ""},
        {"PanelDisplaySettings", {0, 46, 784, 18}, ""},
        {"gbRefresh", {16, 69, 192, 45}, "Data Refresh"},
        {"Btn_AR_pos", {8, 16, 59, 24}, "Refresh "},
        {"GbRelativePosition", {16, 115, 192, 114}, " Relative position "},
        {"BtnLoad", {120, 480, 88, 27}, "LOAD"},
        {"GbChipAddress", {214, 68, 292, 45}, " Chip address  (ADDR)"},
        {"RgPDTR", {214, 374, 292, 45}, " Power down duty ratio (Pdtr) [active : inactive]"},
        {"RgSSI", {512, 280, 262, 93}, " SSI mode (SSIcfg)"},
        {"StBar1", {0, 517, 784, 18}, ""},
    };
    for (const auto& c : cases) {
        auto* control = find(c.control);
        EXPECT_EQ(control->geometry(), c.bounds) << c.control;
        QString caption;
        if (auto* box = qobject_cast<QGroupBox*>(control)) caption = box->title();
        if (auto* button = qobject_cast<QAbstractButton*>(control)) caption = button->text();
        EXPECT_EQ(caption, QString::fromUtf8(c.caption)) << c.control;
    }
}

TEST_F(StartUpTest, StripesAndReadoutLabelsHaveTheirColoursAndFonts) {
    startSimulated();
    EXPECT_EQ(find("Panel6")->palette().color(QPalette::Window), QColor(247, 147, 30));
    EXPECT_EQ(find("Panel7")->palette().color(QPalette::Window), QColor(204, 204, 204));
    EXPECT_EQ(find("Panel1")->palette().color(QPalette::Window), QColor(Qt::white));

    const struct {
        const char* label;
        int pixelSize;
        bool bold;
    } cases[] = {{"LabelPOSdeg", 35, true},
                 {"LabelPOSInc", 19, true},
                 {"LblPosRel", 32, true},
                 {"LblTaho", 13, false}};
    for (const auto& c : cases) {
        auto* label = find<QLabel>(c.label);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 255)) << c.label;
        EXPECT_EQ(label->font().pixelSize(), c.pixelSize) << c.label;
        EXPECT_EQ(label->font().bold(), c.bold) << c.label;
    }
    EXPECT_EQ(find<QLabel>("LblPosRel")->font().family(),
              designFamily(QStringLiteral("Arial Narrow")));
}

TEST_F(StartUpTest, RadioGroupsShowTheChipsItemsInTheirColumns) {
    startSimulated();
    const struct {
        const char* group;
        int columns;
        std::vector<const char*> items;
    } cases[] = {
        {"RgACC", 4, {"4096", "2048", "1024", "512", "256", "128", "64", "32"}},
        {"RgREG35", 2, {"3.3 V", "3 V"}},
        {"RgUVW", 8, {"1", "2", "3", "4", "5", "6", "7", "8"}},
        {"RgSSI",
         1,
         {"Single data, no ring register", "Ring register, position not refreshed",
          "Ring register, position refreshed"}},
        {"RgDAC", 4, {"360°", "180°", "90°", "45°"}},
    };
    for (const auto& c : cases) {
        auto* group = find<RadioGroup>(c.group);
        EXPECT_EQ(group->columns(), c.columns) << c.group;
        ASSERT_EQ(group->count(), static_cast<int>(c.items.size())) << c.group;
        for (int i = 0; i < group->count(); ++i)
            EXPECT_EQ(group->itemText(i), QString::fromUtf8(c.items[static_cast<std::size_t>(i)]))
                << c.group;
    }
}

class SettingsToggleTest : public MainWindowTest {
protected:
    void SetUp() override { startSimulated(); }
    void clickToggle() { find<QToolButton>("SpeedButtonHide")->click(); }
    void enterToggle() {
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(find("SpeedButtonHide"), &enter);
    }
};

TEST_F(SettingsToggleTest, HidingLeavesTheCompactDisplayAndShowingRestoresTheFullHeight) {
    clickToggle();
    EXPECT_EQ(window->height(), 87);
    EXPECT_FALSE(find("PanelHiddenDisplay")->isHidden());
    EXPECT_EQ(find("StBar1")->geometry(), QRect(0, 69, 784, 18));
    enterToggle();
    EXPECT_EQ(find("SpeedButtonHide")->toolTip(), "Show settings");

    clickToggle();
    EXPECT_EQ(window->height(), 535);
    EXPECT_TRUE(find("PanelHiddenDisplay")->isHidden());
    enterToggle();
    EXPECT_EQ(find("SpeedButtonHide")->toolTip(), "Hide settings");
}

TEST_F(SettingsToggleTest, LayoutButtonsShowOnlyWithAPanelShownAndSettingsExpanded) {
    FakePanel panel;
    window->setAnaloguePanel(&panel);
    auto* save = find("ButtonSaveDisplaySettings");
    auto* load = find("ButtonLoadDisplaySettings");
    auto* display = find<QCheckBox>("cbDisplay");
    EXPECT_TRUE(display->isEnabled());

    display->setChecked(false);
    display->setChecked(true);
    EXPECT_FALSE(save->isHidden());
    EXPECT_FALSE(load->isHidden());
    clickToggle();
    EXPECT_TRUE(save->isHidden());
    EXPECT_TRUE(load->isHidden());
    clickToggle();
    EXPECT_FALSE(save->isHidden());

    display->setChecked(false);
    EXPECT_TRUE(save->isHidden());
    clickToggle();
    clickToggle();
    EXPECT_TRUE(save->isHidden());
    EXPECT_TRUE(load->isHidden());

    window->setAnaloguePanel(nullptr);
    EXPECT_FALSE(display->isEnabled());
}

TEST_F(SettingsToggleTest, ClearingShowDisplayWhileHiddenPutsTheToggleDownButKeepsTheWindowSmall) {
    FakePanel panel;
    window->setAnaloguePanel(&panel);
    clickToggle();
    find<QCheckBox>("cbDisplay")->setChecked(false);

    EXPECT_TRUE(find<QToolButton>("SpeedButtonHide")->isChecked());
    EXPECT_EQ(window->height(), 87);
    EXPECT_FALSE(find("PanelHiddenDisplay")->isHidden());

    clickToggle();  // up: still hidden
    EXPECT_EQ(window->height(), 87);
    clickToggle();  // down: shown
    EXPECT_EQ(window->height(), 535);
}

TEST_F(SettingsToggleTest, ShowDisplayAppliesTheLayoutAroundShowingThePanel) {
    FakePanel panel;
    window->setAnaloguePanel(&panel);
    auto* display = find<QCheckBox>("cbDisplay");
    display->setChecked(false);
    panel.calls.clear();
    transcript().clear();
    const auto before = clock.nowNs();

    display->setChecked(true);

    EXPECT_EQ(panel.calls, (std::vector<std::string>{"needles", "load layout", "repaint", "show",
                                                     "load layout"}));
    EXPECT_EQ(transcript().frames(), std::vector<std::string>{"readOutputs 0"});
    EXPECT_GE(clock.nowNs() - before, 10 * kNsPerMs);
    EXPECT_TRUE(panel.visible);
}

TEST_F(SettingsToggleTest, LayoutButtonsSaveAndLoadThroughThePanel) {
    FakePanel panel;
    window->setAnaloguePanel(&panel);
    panel.calls.clear();
    find<QPushButton>("ButtonSaveDisplaySettings")->click();
    find<QPushButton>("ButtonLoadDisplaySettings")->click();
    EXPECT_EQ(panel.calls, (std::vector<std::string>{"save layout", "load layout"}));
}

class UrlRecorder : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened.push_back(url); }

public:
    std::vector<QUrl> opened;
};

TEST_F(StartUpTest, ClickOnTheLogoOpensTheDocumentationBesideTheProgram) {
    startSimulated();
    const QString readme = QDir(QCoreApplication::applicationDirPath()).filePath("README.md");
    ASSERT_FALSE(QFile::exists(readme));
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    auto* logo = find("Image321");
    const auto clickLogo = [logo] {
        const QPointF inside(10, 10);
        QMouseEvent press(QEvent::MouseButtonPress, inside, logo->mapToGlobal(inside),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, inside, logo->mapToGlobal(inside),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(logo, &press);
        QCoreApplication::sendEvent(logo, &release);
    };

    clickLogo();  // no documentation anywhere: nothing to open
    {
        QFile file(readme);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    clickLogo();
    QFile::remove(readme);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    ASSERT_EQ(recorder.opened.size(), 1u);
    EXPECT_EQ(recorder.opened.front(), QUrl::fromLocalFile(readme));
    EXPECT_EQ(find("Image321")->cursor().shape(), Qt::PointingHandCursor);
}

TEST(ProjectDocumentation, IsTheReadmeBesideTheProgramElseTheInstalledOne) {
    struct Case {
        const char* what;
        std::vector<const char*> files;  // under the prefix
        const char* found;               // nullptr: none
    };
    const Case cases[] = {
        {"beside the program", {"bin/README.md"}, "bin/README.md"},
        {"installed", {"share/doc/qe7204-tool/README.md"}, "share/doc/qe7204-tool/README.md"},
        {"both", {"bin/README.md", "share/doc/qe7204-tool/README.md"}, "bin/README.md"},
        {"neither", {"share/doc/README.md", "README.md"}, nullptr},
    };
    for (const Case& c : cases) {
        QTemporaryDir prefix;
        const QDir root(prefix.path());
        ASSERT_TRUE(root.mkpath("bin"));
        for (const char* file : c.files) {
            ASSERT_TRUE(root.mkpath(QFileInfo(root.filePath(file)).path()));
            QFile made(root.filePath(file));
            ASSERT_TRUE(made.open(QIODevice::WriteOnly));
        }
        const QString found = projectDocumentation(root.filePath("bin"));
        EXPECT_EQ(found, c.found ? QDir::cleanPath(root.filePath(c.found)) : QString()) << c.what;
    }
}

}  // namespace
// Our buttons come after every designed control in the Tab order, each with its tooltip; a
// note of ours fits the strip and keeps its whole text as its tooltip.
TEST_F(MainWindowTest, OurStripButtonsAreReachedByTabAndSayWhatTheyOpen) {
    startScripted();
    QWidget* lastDesigned = window->previousInFocusChain();
    int opened = 0;
    QPushButton* plot = window->addExtraButton(
        QStringLiteral("Plot"), QStringLiteral("BtnPlot"), [&opened] { ++opened; },
        QStringLiteral("Charts"));
    QPushButton* check = window->addExtraButton(
        QStringLiteral("Magnet check"), QStringLiteral("BtnMagnetCheck"), [] {},
        QStringLiteral("Judges the magnet"));
    EXPECT_EQ(plot->focusPolicy(), Qt::TabFocus);
    EXPECT_EQ(plot->toolTip(), "Charts");
    EXPECT_EQ(check->toolTip(), "Judges the magnet");
    EXPECT_EQ(plot->nextInFocusChain(), check);
    EXPECT_NE(lastDesigned, nullptr);
    plot->click();
    EXPECT_EQ(opened, 1);

    const QString note = QStringLiteral("Recorded 1234 rows to /home/bench/a/long/folder/run.csv");
    window->showStripNote(note);
    auto* label = find<QLabel>("StripNote");
    EXPECT_EQ(window->stripNote(), note);
    EXPECT_EQ(label->toolTip(), note);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    EXPECT_LE(label->geometry().right(), label->parentWidget()->width());
    window->showStripNote({});
    EXPECT_TRUE(label->isHidden());
}

}  // namespace qe::ui::test

#include "main_window_test.moc"
