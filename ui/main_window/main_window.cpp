#include "main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>

#include "analogue_panel_view.h"
#include "design_fonts.h"
#include "file_chooser.h"
#include "main_window_hints.h"
#include "main_window_layout.h"
#include "project_documentation.h"
#include "radio_group.h"
#include "readout.h"
#include "right_anchored_label.h"
#include "status_panels.h"
#include "toggle_image_button.h"
#include "version.h"

namespace qe::ui {

namespace {

constexpr int kFullHeightMargin = 10;
constexpr int kCompactHeightMargin = 5;
// The designed window is 800 wide outside and may be 100..576 high outside; its frame
// took 16 pixels of the width and 38 of the height.
constexpr int kDesignedFrameHeight = 38;
constexpr int kMinOuterHeight = 100;
constexpr int kMaxOuterHeight = 576;

template <typename T>
T* typed(const QHash<QString, QWidget*>& made, const char* name) {
    auto* widget = qobject_cast<T*>(made.value(QString::fromLatin1(name)));
    if (!widget) qFatal("MainWindow: the control table lacks %s", name);
    return widget;
}

}  // namespace

MainWindow::MainWindow(chip::Chip& chip, ScreenSaver& screenSaver, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      chip_(chip),
      clock_(chip.clock()),
      screenSaver_(screenSaver) {
    registerDesignFonts();
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("QE7204 interface"));
    setFont(designFont(QStringLiteral("Tahoma"), 13));
    setFixedWidth(kClientWidth);
    setMinimumHeight(kMinOuterHeight - kDesignedFrameHeight);
    setMaximumHeight(kMaxOuterHeight - kDesignedFrameHeight);
    move(0, 0);

    bindControls(buildMainWindowControls(this));
    SpeedButtonHide->setToolTip(QStringLiteral("Show/Hide settings"));
    SpeedButtonHide->setToolTipDuration(kHintDurationMs);
    Image321->setToolTip(QString::fromLatin1(kDocumentationHint));
    Image321->setToolTipDuration(kHintDurationMs);
    setAnaloguePanel(nullptr);
    setFileChooser(nullptr);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kPollIntervalMs);
    // A coarse timer may fire up to 5 % late, which costs readouts against the designed rate.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &MainWindow::Timer1Timer);

    connectHandlers();
    FormCreate();
}

MainWindow::~MainWindow() {
    // A window destroyed without being closed still switches the supply off.
    if (!closed_) FormClose();
}

void MainWindow::bindControls(const QHash<QString, QWidget*>& made) {
    controls_ = made;
    const auto find = [this](const char* name) { return control(name); };
    displayStateControls_ = bindRuleControls(displayStateRules(), find);
    settingsControls_ = bindRuleControls(settingsRules(), find);
    SpeedButtonHide = typed<ToggleImageButton>(made, "SpeedButtonHide");
    Panel1 = typed<QWidget>(made, "Panel1");
    Panel6 = typed<QWidget>(made, "Panel6");
    Panel7 = typed<QWidget>(made, "Panel7");
    PanelHiddenDisplay = typed<QWidget>(made, "PanelHiddenDisplay");
    PanelDisplaySettings = typed<QWidget>(made, "PanelDisplaySettings");
    Image321 = typed<QLabel>(made, "Image321");
    LabelPOSdeg = typed<RightAnchoredLabel>(made, "LabelPOSdeg");
    LabelPOSInc = typed<RightAnchoredLabel>(made, "LabelPOSInc");
    LblPosRel = typed<RightAnchoredLabel>(made, "LblPosRel");
    cbDisplay = typed<QCheckBox>(made, "cbDisplay");
    ButtonSaveDisplaySettings = typed<QPushButton>(made, "ButtonSaveDisplaySettings");
    ButtonLoadDisplaySettings = typed<QPushButton>(made, "ButtonLoadDisplaySettings");
    Btn_AR_pos = typed<QPushButton>(made, "Btn_AR_pos");
    CbBeriSkoz = typed<QCheckBox>(made, "CbBeriSkoz");
    RbNumber = typed<QRadioButton>(made, "RbNumber");
    Rbdegrees = typed<QRadioButton>(made, "Rbdegrees");
    LblPosAbs = typed<QLabel>(made, "LblPosAbs");
    LblTaho = typed<QLabel>(made, "LblTaho");
    LblMagnetSt = typed<QLabel>(made, "LblMagnetSt");
    LblAGCgain = typed<QLabel>(made, "LblAGCgain");
    BtnON = typed<QPushButton>(made, "BtnON");
    BtnOFF = typed<QPushButton>(made, "BtnOFF");
    BtnLoad = typed<QPushButton>(made, "BtnLoad");
    BtnProg = typed<QPushButton>(made, "BtnProg");
    BtnRead = typed<QPushButton>(made, "BtnRead");
    EdNaslovCipa = typed<QLineEdit>(made, "EdNaslovCipa");
    EdPosZ = typed<QLineEdit>(made, "EdPosZ");
    cbHysteresis = typed<QComboBox>(made, "cbHysteresis");
    StBar1 = typed<StatusPanels>(made, "StBar1");
}

void MainWindow::connectHandlers() {
    connect(SpeedButtonHide, &QToolButton::clicked, this, &MainWindow::SpeedButtonHideClick);
    SpeedButtonHide->installEventFilter(this);
    Image321->installEventFilter(this);
    connect(cbDisplay, &QCheckBox::toggled, this, &MainWindow::cbDisplayClick);
    connect(ButtonSaveDisplaySettings, &QPushButton::clicked, this,
            &MainWindow::ButtonSaveDisplaySettingsClick);
    connect(ButtonLoadDisplaySettings, &QPushButton::clicked, this,
            &MainWindow::ButtonLoadDisplaySettingsClick);
    connect(CbBeriSkoz, &QCheckBox::toggled, this, &MainWindow::CbBeriSkozClick);
    connect(Btn_AR_pos, &QPushButton::clicked, this, &MainWindow::Btn_AR_posClick);
    connect(RbNumber, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) RbNumberClick();
    });
    connect(Rbdegrees, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) RbdegreesClick();
    });
    connect(BtnON, &QPushButton::clicked, this, &MainWindow::BtnONClick);
    connect(BtnOFF, &QPushButton::clicked, this, &MainWindow::BtnOFFClick);
    connectChipActions();
}

void MainWindow::FormCreate() {
    // A white strip with the logo at its right end, an orange stripe and a thin grey line.
    Panel1->setGeometry(SpeedButtonHide->width(), 0, width() - SpeedButtonHide->width(),
                        Panel1->height());
    arrangeDockedChildren(Panel1);
    Panel6->setGeometry(0, Panel1->y() + Panel1->height(), width(), 8);
    Panel7->setGeometry(0, Panel6->y() + Panel6->height(), width(), 2);
    setClientHeight(fullHeight());

    // The first tick does the once-a-second work at once.
    LastSecondTick = clock_.tickCount() - 10'000u;
    chip_.startUp();
    PanelReady = true;

    StBar1->setPanelText(
        2, QStringLiteral("Software version: ") + QString::fromStdString(FileVersionString()));
    applyControlHints(this);
    setClientHeight(fullHeight());
    FillHysteresisList();
    CbBeriSkoz->setChecked(true);
}

void MainWindow::startPolling() {
    if (!closed_) Timer1->start();
}

void MainWindow::FormClose() {
    // No tick may talk to the adapter once it is closed.
    closed_ = true;
    Timer1->stop();
    chipExchanges_.takeBack();  // a lent adapter's reader ends before the chip shuts down
    chip_.shutDown();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closed_) FormClose();
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    arrangeDockedChildren(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SpeedButtonHide && event->type() == QEvent::Enter) {
        SpeedButtonHideMouseEnter();
    } else if (watched == Image321 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            Image321->rect().contains(mouse->position().toPoint()))
            Image321Click();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::setAnaloguePanel(AnaloguePanelView* panel) {
    panel_ = panel;
    cbDisplay->setEnabled(panel_ != nullptr);
    if (!panel_) {
        ButtonSaveDisplaySettings->hide();
        ButtonLoadDisplaySettings->hide();
    }
}

RadioGroup* MainWindow::radioGroup(const QString& name) const {
    return qobject_cast<RadioGroup*>(controls_.value(name));
}

QWidget* MainWindow::control(const char* name) const {
    return controls_.value(QString::fromLatin1(name));
}

int MainWindow::fullHeight() const {
    return BtnLoad->y() + BtnLoad->height() + StBar1->height() + kFullHeightMargin;
}

int MainWindow::compactHeight() const {
    return PanelDisplaySettings->y() + PanelDisplaySettings->height() + StBar1->height() +
           kCompactHeightMargin;
}

void MainWindow::setClientHeight(int height) {
    resize(width(), height);
    arrangeDockedChildren(this);
}

void MainWindow::updateLayoutButtons() {
    // Only a window with a panel has a layout to save.
    const bool visible = panel_ && cbDisplay->isChecked() && SpeedButtonHide->isChecked();
    ButtonSaveDisplaySettings->setVisible(visible);
    ButtonLoadDisplaySettings->setVisible(visible);
}

void MainWindow::SpeedButtonHideClick() {
    if (SpeedButtonHide->isChecked()) {
        setClientHeight(fullHeight());
        updateLayoutButtons();
        PanelHiddenDisplay->hide();
    } else {
        setClientHeight(compactHeight());
        updateLayoutButtons();
        PanelHiddenDisplay->show();
    }
}

void MainWindow::showSettingsIfHidden() {
    // Down means the settings are shown.
    if (SpeedButtonHide->isChecked()) return;
    SpeedButtonHide->setChecked(true);
    SpeedButtonHideClick();
}

void MainWindow::SpeedButtonHideMouseEnter() {
    SpeedButtonHide->setToolTip(SpeedButtonHide->isChecked() ? QStringLiteral("Hide settings")
                                                             : QStringLiteral("Show settings"));
}

void MainWindow::cbDisplayClick() {
    if (chip_.chipPowered()) RefreshReadout();
    if (panel_) {
        panel_->LoadWindowLayout();
        clock_.sleepMs(10);
        panel_->repaintPanel();
        panel_->setPanelVisible(cbDisplay->isChecked());
        panel_->LoadWindowLayout();
    }
    // Clearing the box puts the toggle down without changing the window's height.
    if (!cbDisplay->isChecked()) SpeedButtonHide->setChecked(true);
    updateLayoutButtons();
}

void MainWindow::ButtonSaveDisplaySettingsClick() {
    if (panel_) panel_->SaveWindowLayout();
}

void MainWindow::ButtonLoadDisplaySettingsClick() {
    if (panel_) panel_->LoadWindowLayout();
}

void MainWindow::Image321Click() {
    // Until the tool has a web page of its own, the logo opens its documentation.
    const QString readme = projectDocumentation(QCoreApplication::applicationDirPath());
    if (!readme.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(readme));
}

void MainWindow::FillHysteresisList() {
    cbHysteresis->setUpdatesEnabled(false);
    cbHysteresis->clear();
    for (int i = 0; i < chip::kHysteresisItemCount; ++i) {
        cbHysteresis->addItem(QString::fromStdString(chip::hysteresisItemText(i)));
        cbHysteresis->setCurrentIndex(i);
    }
    cbHysteresis->setUpdatesEnabled(true);
}

}  // namespace qe::ui
