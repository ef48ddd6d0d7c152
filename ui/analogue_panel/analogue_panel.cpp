#include "analogue_panel.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>
#include <QWindow>

#include <algorithm>

#include "design_fonts.h"
#include "image_view.h"
#include "jpeg_image.h"
#include "main_window.h"
#include "messages.h"
#include "needle_bitmap.h"
#include "outer_geometry.h"
#include "panel_image_files.h"
#include "rot_layer.h"
#include "window_placement.h"
#include "zero_zone.h"

namespace qe::ui {

namespace {

constexpr int kPanelClientWidth = 650;
constexpr int kPanelClientHeight = 674;
constexpr int kPanel1Height = 20;
constexpr int kDesignFontPixels = 11;  // Tahoma 8 pt at 96 dpi

QRadioButton* makeRadioButton(QWidget* parent, const char* name, const QString& caption,
                              QRect bounds) {
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(bounds);
    return button;
}

}  // namespace

AnaloguePanel::AnaloguePanel(MainWindow& mainWindow, const chip::Chip& chip, MessageSink& messages)
    : QWidget(nullptr, Qt::Tool), mainWindow_(mainWindow), chip_(chip), messages_(messages) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Analogue panel"));
    // The main window alone decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(designFont(QStringLiteral("Tahoma"), kDesignFontPixels));

    ImgView = new ImageView(this);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    RadioButton1 =
        makeRadioButton(Panel1, "RadioButton1", QStringLiteral("Position"), {3, 1, 62, 17});
    RadioButton2 =
        makeRadioButton(Panel1, "RadioButton2", QStringLiteral("Tacho"), {71, 1, 66, 17});
    RadioButton1->setChecked(true);
    resize(kPanelClientWidth, kPanelClientHeight);
    arrangeControls();

    // Checking a button from the program runs its behaviour too, as the stored layout needs.
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) RadioButton1Click();
    });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) RadioButton2Click();
    });
    connect(ImgView, &ImageView::mouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers, QPoint position, ImageLayer*) {
                ImgViewMouseDown(button, position);
            });
    connect(ImgView, &ImageView::mouseMove, this,
            [this](Qt::KeyboardModifiers, QPoint position) { ImgViewMouseMove(position); });

    FormCreate();
}

AnaloguePanel::~AnaloguePanel() {
    if (mainWindow_.analoguePanel() == this) mainWindow_.setAnaloguePanel(nullptr);
}

void AnaloguePanel::FormCreate() {
    SkalaJePozicija();

    // The pivots follow the dial shown now and stay where they are for good.
    const QSize dial = ImgView->bitmap().size();
    const float w = static_cast<float>(dial.width());
    const float h = static_cast<float>(dial.height());
    const QImage needle = loadNeedleImage();

    TachoNeedle = &ImgView->addLayer<RotLayer>();
    if (!needle.isNull()) prepareNeedle(*TachoNeedle, needle, kTachoNeedleAlpha, {w / 2, h / 2});
    TachoNeedle->setScaled(true);

    PositionNeedle = &ImgView->addLayer<RotLayer>();
    if (!needle.isNull())
        prepareNeedle(*PositionNeedle, needle, kPositionNeedleAlpha, needlePivot(dial));
    PositionNeedle->setScaled(true);

    PositionNeedle->setVisible(true);
    TachoNeedle->setVisible(false);
}

QImage AnaloguePanel::loadNeedleImage() {
    const QString path = locatePanelImage(QString::fromLatin1(kNeedleFile));
    if (path.isEmpty()) return {};
    QImageReader reader(path);
    QImage image = reader.read();
    // A needle that cannot be read leaves the layers empty; the panel works on without it.
    if (image.isNull()) messages_.show(MessageKind::Exception, reader.errorString().toStdString());
    return image;
}

void AnaloguePanel::arrangeControls() {
    ImgView->setGeometry(0, 0, width(), std::max(0, height() - kPanel1Height));
    Panel1->setGeometry(0, height() - kPanel1Height, width(), kPanel1Height);
}

void AnaloguePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    arrangeControls();
}

void AnaloguePanel::showDial(const char* fileName, DecodedDial& decodedDial,
                             const std::function<std::vector<DialLabel>(QSize)>& labelsFor) {
    // The file is looked for every time, so a dial that went missing leaves the view as it
    // is; it is decoded again only when it has changed since it was last decoded.
    const QString path = locatePanelImage(QString::fromLatin1(fileName));
    if (path.isEmpty()) return;
    const QFileInfo file(path);
    if (decodedDial.image.isNull() || decodedDial.path != path ||
        decodedDial.modified != file.lastModified() || decodedDial.size != file.size()) {
        const JpegImage decoded = decodeJpegFile(path);
        if (decoded.tooLarge) return;  // as if it were missing: the view stays as it is
        if (!decoded.ok()) {
            decodedDial = {};
            QImage cleared(ImgView->bitmap().size(), QImage::Format_RGB32);
            cleared.fill(Qt::black);
            ImgView->setBitmap(cleared);
            messages_.show(MessageKind::Exception, decoded.error.toStdString());
            return;
        }
        decodedDial = {path, file.lastModified(), file.size(), decoded.image};
    }
    QImage dial = decodedDial.image;  // drawing on it detaches it, so the kept dial stays bare
    const std::vector<DialLabel> labels = labelsFor(dial.size());
    drawDialLabels(dial, labels);
    const QSize size = dial.size();
    ImgView->setBitmap(dial, {decodedDial.image, [labels, size](QPainter& painter) {
                                  drawDialLabels(painter, size, labels);
                              }});
}

void AnaloguePanel::SkalaJePozicija() {
    showDial(kPositionDialFile, positionDial_, positionScaleLabels);
}

void AnaloguePanel::SkalaJeTaho() {
    const double range = chip_.derived().TachoRangeHz;
    showDial(kTachoDialFile, tachoDial_,
             [range](QSize dial) { return tachoScaleLabels(dial, range); });
}

void AnaloguePanel::UpdateNeedles(double positionFraction, double tachoFraction) {
    PositionNeedle->setAngle(static_cast<float>(90.0 - 360.0 * positionFraction));
    TachoNeedle->setAngle(static_cast<float>(210.0 - 240.0 * tachoFraction));
}

void AnaloguePanel::RadioButton1Click() {
    PositionNeedle->setVisible(true);
    TachoNeedle->setVisible(false);
    SkalaJePozicija();
}

void AnaloguePanel::RadioButton2Click() {
    PositionNeedle->setVisible(false);
    TachoNeedle->setVisible(true);
    SkalaJeTaho();
}

bool AnaloguePanel::showsTachoScale() const {
    return RadioButton2->isChecked();
}

void AnaloguePanel::ImgViewMouseMove(QPoint position) {
    const bool overZero = RadioButton1->isChecked() && inZeroZone(ImgView->size(), position);
    ImgView->setCursor(overZero ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void AnaloguePanel::ImgViewMouseDown(Qt::MouseButton button, QPoint position) {
    if (button != Qt::LeftButton || !RadioButton1->isChecked()) return;
    if (!inZeroZone(ImgView->size(), position)) return;

    // The main window's "Zero" exchange, which also shows the new zero in its field.
    mainWindow_.ZeroAtCurrentPosition(chip::messages::kZeroFailed);
}

void AnaloguePanel::FormDeactivate() {
    mainWindow_.showSettingsIfHidden();
}

void AnaloguePanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Only another window of the tool taking over counts, not a switch to another program.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() &&
        QApplication::activeWindow())
        FormDeactivate();
}

void AnaloguePanel::setVisible(bool visible) {
    if (visible && !shownBefore_) {
        shownBefore_ = true;
        prepareFirstShowing();
    }
    if (visible) joinMainWindow();
    QWidget::setVisible(visible);
}

void AnaloguePanel::prepareFirstShowing() {
    // Placed while the window system does not have it yet, so that the window manager puts
    // the frame's corner, title bar included, where it is asked to (OuterGeometry).
    centreOverMainWindow();
    // Made now, so that it joins the main window before the window manager first sees it.
    create();
}

void AnaloguePanel::joinMainWindow() {
    // The panel belongs to the main window's dialogue: its message boxes block both, and
    // the window manager keeps the panel above it. The simulated adapter's window stays out.
    QWindow* own = windowHandle();
    QWindow* main = mainWindow_.windowHandle();
    if (own && main && own->transientParent() != main) own->setTransientParent(main);
}

void AnaloguePanel::centreOverMainWindow() {
    // Not shown yet, the panel has no frame; the main window's, drawn by the same window
    // system, stands in for it.
    QMargins frame = frameMarginsOf(*this);
    if (frame.isNull()) frame = frameMarginsOf(mainWindow_);
    // A stored size that waits for the frame is the size the panel is about to get.
    OuterGeometry& outer = OuterGeometry::of(*this);
    const QSize inner = outer.innerSizeWithin(frame);
    const QRect desktop =
        (mainWindow_.screen() ? mainWindow_.screen() : screen())->virtualGeometry();
    outer.moveTo(centredFramePosition(mainWindow_.frameGeometry(), inner, frame, desktop));
    // Centred over a main window low on the screen, the Position/Tacho strip could end below it.
    keepOnScreen(*this);
}

bool AnaloguePanel::isPanelVisible() const {
    return isVisible();
}

void AnaloguePanel::setPanelVisible(bool visible) {
    setVisible(visible);
}

void AnaloguePanel::repaintPanel() {
    repaint();
}

LayoutStore AnaloguePanel::layoutStore() const {
    return {QString::fromStdString(chip_.iniFilePath()),
            QString::fromStdString(chip_.adapterSerial())};
}

LayoutWindows AnaloguePanel::layoutWindows() {
    return {mainWindow_, *this, *RadioButton1, *RadioButton2};
}

void AnaloguePanel::LoadWindowLayout() {
    loadWindowLayout(layoutStore(), layoutWindows());
}

void AnaloguePanel::SaveWindowLayout() {
    saveWindowLayout(layoutStore(), layoutWindows(), messages_);
}

}  // namespace qe::ui
