#include "main_window_layout.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <algorithm>
#include <vector>

#include "captioned_box.h"
#include "design_fonts.h"
#include "image_paths.h"
#include "radio_group.h"
#include "readout_colours.h"
#include "readout_label.h"
#include "register_map.h"
#include "right_anchored_label.h"
#include "setting_controls.h"
#include "status_panels.h"
#include "toggle_image_button.h"

namespace qe::ui {

namespace {

enum class ControlKind {
    Toggle,         // flat button with four state images
    Panel,          // plain rectangle, optionally coloured
    Image,          // picture, centred and scaled to fit
    Label,          // fixed-size text
    AnchoredLabel,  // text that sizes itself and keeps its right edge
    CheckBox,
    Button,
    ImageButton,  // button with a picture beside its caption
    GroupBox,
    RadioGroup,  // items come from the chip's setting groups
    RadioButton,
    Edit,
    ComboBox,
    StatusBar,
};

// Where a control stays when its parent changes size; the others keep their bounds.
enum class Dock { None, Left, Right, Bottom };

// A font by its designed family name and character height in pixels; an empty family
// means the window's own font.
struct FontDesign {
    const char* family = nullptr;
    int pixelSize = 0;
    bool bold = false;
};

// One control of the main window as designed.
struct DesignedControl {
    const char* name;
    ControlKind kind;
    const char* parent;        // nullptr: the window itself
    QRect bounds;              // in the parent's client area
    const char* caption = "";  // UTF-8
    FontDesign font = {};
    QColor textColour = {};       // invalid: the style's colour
    QColor background = {};       // invalid: not filled
    int columns = 1;              // radio groups
    int maxLength = 0;            // edit fields; 0 = unlimited
    const char* image = nullptr;  // resource path
    Qt::Alignment alignment = {};
    bool checked = false;
    bool hidden = false;
    Dock dock = Dock::None;
};

using K = ControlKind;

const QColor kWhite(255, 255, 255);
const QColor kOrange(247, 147, 30);
const QColor kGrey(204, 204, 204);

constexpr FontDesign kReadoutLarge{"Arial Narrow", 35, true};
constexpr FontDesign kReadoutSmall{"Arial Narrow", 19, true};
constexpr FontDesign kRelativePosition{"Arial Narrow", 32, true};
constexpr FontDesign kReadoutText{"Tahoma", 13, false};
constexpr FontDesign kActionButton{"MS Reference Sans Serif", 11, true};

constexpr Qt::Alignment kCentred = Qt::AlignHCenter | Qt::AlignTop;

// Every control of the main window, parents before their children.
const std::vector<DesignedControl>& mainWindowControls() {
    static const std::vector<DesignedControl> controls = {
        {.name = "SpeedButtonHide",
         .kind = K::Toggle,
         .parent = nullptr,
         .bounds = {0, 0, 40, 36},
         .checked = true},
        {.name = "Panel1",
         .kind = K::Panel,
         .parent = nullptr,
         .bounds = {264, 8, 255, 36},
         .background = kWhite},
        {.name = "Panel5",
         .kind = K::Panel,
         .parent = "Panel1",
         .bounds = {0, 0, 20, 36},
         .background = kWhite,
         .dock = Dock::Left},
        {.name = "Image321",
         .kind = K::Image,
         .parent = "Panel1",
         .bounds = {136, 0, 112, 36},
         .image = assets::kLogo,
         .dock = Dock::Right},
        {.name = "Panel2",
         .kind = K::Panel,
         .parent = "Panel1",
         .bounds = {248, 0, 7, 36},
         .background = kWhite,
         .dock = Dock::Right},
        {.name = "Panel6",
         .kind = K::Panel,
         .parent = nullptr,
         .bounds = {117, 8, 65, 20},
         .background = kOrange},
        {.name = "Panel7",
         .kind = K::Panel,
         .parent = nullptr,
         .bounds = {46, 8, 65, 20},
         .background = kGrey},
        {.name = "PanelHiddenDisplay",
         .kind = K::Panel,
         .parent = nullptr,
         .bounds = {188, 1, 349, 33},
         .background = kWhite,
         .hidden = true},
        {.name = "LabelPOSdeg",
         .kind = K::AnchoredLabel,
         .parent = "PanelHiddenDisplay",
         .bounds = {200, 0, 20, 42},
         .caption = "--",
         .font = kReadoutLarge,
         .textColour = kReadoutBlue},
        {.name = "LabelPOSInc",
         .kind = K::AnchoredLabel,
         .parent = "PanelHiddenDisplay",
         .bounds = {310, 12, 10, 23},
         .caption = "--",
         .font = kReadoutSmall,
         .textColour = kReadoutBlue},
        {.name = "PanelDisplaySettings",
         .kind = K::Panel,
         .parent = nullptr,
         .bounds = {0, 46, 784, 18}},
        {.name = "cbDisplay",
         .kind = K::CheckBox,
         .parent = "PanelDisplaySettings",
         .bounds = {11, 0, 97, 17},
         .caption = "Show Display",
         .checked = true},
        {.name = "ButtonSaveDisplaySettings",
         .kind = K::Button,
         .parent = "PanelDisplaySettings",
         .bounds = {436, -1, 161, 17},
         .caption = "SAVE DISPLAY SETTINGS",
         .hidden = true},
        {.name = "ButtonLoadDisplaySettings",
         .kind = K::Button,
         .parent = "PanelDisplaySettings",
         .bounds = {603, -1, 161, 17},
         .caption = "LOAD DISPLAY SETTINGS",
         .hidden = true},

        {.name = "gbRefresh",
         .kind = K::GroupBox,
         .parent = nullptr,
         .bounds = {16, 69, 192, 45},
         .caption = "Data Refresh"},
        {.name = "Btn_AR_pos",
         .kind = K::Button,
         .parent = "gbRefresh",
         .bounds = {8, 16, 59, 24},
         .caption = "Refresh "},
        {.name = "CbBeriSkoz",
         .kind = K::CheckBox,
         .parent = "gbRefresh",
         .bounds = {83, 15, 119, 27},
         .caption = "Continuously",
         .checked = true},
        {.name = "GbRelativePosition",
         .kind = K::GroupBox,
         .parent = nullptr,
         .bounds = {16, 115, 192, 114},
         .caption = " Relative position "},
        {.name = "LblPosRel",
         .kind = K::AnchoredLabel,
         .parent = "GbRelativePosition",
         .bounds = {104, 38, 28, 37},
         .caption = "....",
         .font = kRelativePosition,
         .textColour = kReadoutBlue},
        {.name = "RbNumber",
         .kind = K::RadioButton,
         .parent = "GbRelativePosition",
         .bounds = {8, 89, 62, 17},
         .caption = "Counts",
         .checked = true},
        {.name = "Rbdegrees",
         .kind = K::RadioButton,
         .parent = "GbRelativePosition",
         .bounds = {86, 89, 66, 17},
         .caption = "Degrees"},
        {.name = "GbAbsolutePosition",
         .kind = K::GroupBox,
         .parent = nullptr,
         .bounds = {16, 235, 192, 45},
         .caption = " Absolute position "},
        {.name = "LblPosAbs",
         .kind = K::Label,
         .parent = "GbAbsolutePosition",
         .bounds = {3, 20, 186, 16},
         .caption = "....",
         .font = kReadoutText,
         .textColour = kReadoutBlue,
         .alignment = kCentred},
        {.name = "GbTachoInf",
         .kind = K::GroupBox,
         .parent = nullptr,
         .bounds = {16, 280, 192, 45},
         .caption = " Tacho "},
        {.name = "LblTaho",
         .kind = K::Label,
         .parent = "GbTachoInf",
         .bounds = {3, 20, 186, 16},
         .caption = "....",
         .font = kReadoutText,
         .textColour = kReadoutBlue,
         .alignment = kCentred},
        {.name = "GbMagnetStatus",
         .kind = K::GroupBox,
         .parent = nullptr,
         .bounds = {16, 327, 192, 45},
         .caption = "Magnet status"},
        {.name = "LblMagnetSt",
         .kind = K::Label,
         .parent = "GbMagnetStatus",
         .bounds = {3, 20, 186, 16},
         .caption = "....",
         .font = kReadoutText,
         .textColour = kReadoutBlue,
         .alignment = kCentred},
        {.name = "GbAGCgain",
         .kind = K::GroupBox,
         .parent = nullptr,
         .bounds = {16, 374, 192, 45},
         .caption = "AGC level"},
        {.name = "LblAGCgain",
         .kind = K::Label,
         .parent = "GbAGCgain",
         .bounds = {3, 20, 186, 16},
         .caption = "....",
         .font = kReadoutText,
         .textColour = kReadoutBlue,
         .alignment = kCentred},
        {.name = "BtnON",
         .kind = K::Button,
         .parent = nullptr,
         .bounds = {16, 422, 88, 27},
         .caption = "Power ON",
         .font = kActionButton},
        {.name = "BtnOFF",
         .kind = K::Button,
         .parent = nullptr,
         .bounds = {120, 422, 88, 27},
         .caption = "Power OFF",
         .font = kActionButton},
        {.name = "BtnProg",
         .kind = K::ImageButton,
         .parent = nullptr,
         .bounds = {16, 452, 88, 27},
         .caption = "PROG",
         .font = kActionButton,
         .image = assets::kProgGlyph},
        {.name = "BtnRead",
         .kind = K::ImageButton,
         .parent = nullptr,
         .bounds = {120, 452, 88, 27},
         .caption = "READ",
         .font = kActionButton,
         .image = assets::kReadGlyph},
        {.name = "BtnSave",
         .kind = K::ImageButton,
         .parent = nullptr,
         .bounds = {16, 480, 88, 27},
         .caption = "SAVE",
         .font = kActionButton,
         .image = assets::kSaveGlyph},
        {.name = "BtnLoad",
         .kind = K::ImageButton,
         .parent = nullptr,
         .bounds = {120, 480, 88, 27},
         .caption = "LOAD",
         .font = kActionButton,
         .image = assets::kLoadGlyph},

        {.name = "GbChipAddress",
         .kind = K::GroupBox,
         .parent = nullptr,
         .bounds = {214, 68, 292, 45},
         .caption = " Chip address  (ADDR)"},
        {.name = "EdNaslovCipa",
         .kind = K::Edit,
         .parent = "GbChipAddress",
         .bounds = {10, 18, 30, 22},
         .caption = "00",
         .maxLength = 3},
        {.name = "BtnDolociNaslov",
         .kind = K::Button,
         .parent = "GbChipAddress",
         .bounds = {160, 19, 129, 21},
         .caption = "Set new address"},
        {.name = "GbZeroPreset",
         .kind = K::GroupBox,
         .parent = nullptr,
         .bounds = {214, 115, 292, 45},
         .caption = " Zero position  (Zin)"},
        {.name = "EdPosZ",
         .kind = K::Edit,
         .parent = "GbZeroPreset",
         .bounds = {10, 18, 60, 22},
         .caption = "0",
         .maxLength = 4},
        {.name = "BtnPresetZero",
         .kind = K::Button,
         .parent = "GbZeroPreset",
         .bounds = {104, 19, 120, 21},
         .caption = "Set zero position"},
        {.name = "BtnZeroCurrentPos",
         .kind = K::Button,
         .parent = "GbZeroPreset",
         .bounds = {230, 19, 59, 21},
         .caption = "Zero"},
        {.name = "RgACC",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {214, 162, 292, 69},
         .caption = " Resolution (Res)",
         .columns = 4},
        {.name = "GroupBox1",
         .kind = K::GroupBox,
         .parent = nullptr,
         .bounds = {214, 233, 292, 45},
         .caption = "Digital hysteresis (Hyst)"},
        {.name = "cbHysteresis",
         .kind = K::ComboBox,
         .parent = "GroupBox1",
         .bounds = {10, 17, 103, 24},
         .caption = "--"},
        {.name = "ButtonSetHysteresis",
         .kind = K::Button,
         .parent = "GroupBox1",
         .bounds = {184, 19, 105, 21},
         .caption = "Set hysteresis"},
        {.name = "RgREG35",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {214, 280, 292, 45},
         .caption = " Regulator voltage (Reg35)",
         .columns = 2},
        {.name = "RgPdee",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {214, 327, 292, 45},
         .caption = " Autonomous power down mode (Pdee)",
         .columns = 2},
        {.name = "RgPDTR",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {214, 374, 292, 45},
         .caption = " Power down duty ratio (Pdtr) [active : inactive]",
         .columns = 4},
        {.name = "RgBufSel",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {214, 421, 292, 45},
         .caption = "Output function (BUFSEL)",
         .columns = 2},
        {.name = "RgUVW",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {214, 468, 292, 45},
         .caption = "Number of pole pairs (UVW) ",
         .columns = 8},
        {.name = "RgSign",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {512, 68, 262, 45},
         .caption = " Outputs direction (Sign)",
         .columns = 2},
        {.name = "RgDACT",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {512, 115, 262, 45},
         .caption = " Vout/Tout pin function (Dact)",
         .columns = 2},
        {.name = "RgDAC",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {512, 162, 262, 45},
         .caption = "Linear voltage period (Dac)",
         .columns = 4},
        {.name = "RgSTH",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {512, 209, 262, 69},
         .caption = " Tacho measuring range (Sth) [Hz] ",
         .columns = 4},
        {.name = "RgSSI",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {512, 280, 262, 93},
         .caption = " SSI mode (SSIcfg)",
         .columns = 1},
        {.name = "RgAGCDis",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {512, 374, 262, 45},
         .caption = "Automatic gain control (AGCdis)",
         .columns = 2},
        {.name = "RgPDint",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {512, 421, 262, 45},
         .caption = " Interpolator power (Pdint)",
         .columns = 2},
        {.name = "RgABRiDis",
         .kind = K::RadioGroup,
         .parent = nullptr,
         .bounds = {512, 468, 262, 45},
         .caption = " Incremental outputs (Abridis)",
         .columns = 2},
        {.name = "StBar1",
         .kind = K::StatusBar,
         .parent = nullptr,
         .bounds = {0, 520, 784, 18},
         .dock = Dock::Bottom},
    };
    return controls;
}

constexpr int kStatusPanelWidths[] = {150, 350, 350};
constexpr const char* kDockProperty = "dock";

Dock dockOf(const QWidget* widget) {
    return static_cast<Dock>(widget->property(kDockProperty).toInt());
}

// A panel keeps its docked children at its edges.
class DockingPanel final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        arrangeDockedChildren(this);
    }
};

QStringList settingItems(const char* control) {
    QStringList items;
    if (const auto* group = settingGroupForControl(control))
        for (const auto& item : group->items) items << QString::fromStdString(item);
    return items;
}

// The readout's labels change 15 times a second. Filled with the colour they inherit from
// what lies behind them, they look the same and repaint alone, not the box under them too;
// their texts are plain, so no new text is searched for markup.
QLabel* asReadoutLabel(QLabel* label) {
    label->setAutoFillBackground(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QWidget* makeControl(const DesignedControl& design, QWidget* parent) {
    const QString caption = QString::fromUtf8(design.caption);
    switch (design.kind) {
        case K::Toggle:
            return new ToggleImageButton({assets::kToggleUp, assets::kToggleDisabled,
                                          assets::kToggleDown, assets::kToggleHeld},
                                         parent);
        case K::Panel:
            return new DockingPanel(parent);
        case K::Image: {
            auto* image = new QLabel(parent);
            image->setAlignment(Qt::AlignCenter);
            image->setCursor(Qt::PointingHandCursor);
            const QPixmap picture(QString::fromLatin1(design.image));
            if (!picture.isNull())
                image->setPixmap(picture.scaled(design.bounds.size(), Qt::KeepAspectRatio,
                                                Qt::SmoothTransformation));
            return image;
        }
        case K::Label: {
            auto* label = new ReadoutLabel(caption, parent);
            // Fixed, so that a new text does not ask the box around it to lay out again.
            label->setFixedSize(design.bounds.size());
            return asReadoutLabel(label);
        }
        case K::AnchoredLabel:
            return asReadoutLabel(new RightAnchoredLabel(caption, design.bounds, parent));
        case K::CheckBox:
            return new QCheckBox(caption, parent);
        case K::Button:
            return new QPushButton(caption, parent);
        case K::ImageButton:
            return new QPushButton(QIcon(QString::fromLatin1(design.image)), caption, parent);
        case K::GroupBox:
            return new CaptionedBox(caption, parent);
        case K::RadioGroup:
            return new RadioGroup(caption, settingItems(design.name), design.columns, parent);
        case K::RadioButton:
            return new QRadioButton(caption, parent);
        case K::Edit:
            return new QLineEdit(caption, parent);
        case K::ComboBox: {
            auto* combo = new QComboBox(parent);
            combo->setPlaceholderText(caption);
            // The user chooses an item and may also type into the box; typing adds no item.
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            return combo;
        }
        case K::StatusBar:
            return new StatusPanels({std::begin(kStatusPanelWidths), std::end(kStatusPanelWidths)},
                                    parent);
    }
    return new QWidget(parent);
}

void applyLook(const DesignedControl& design, QWidget* widget) {
    if (design.font.family)
        widget->setFont(designFont(QString::fromLatin1(design.font.family), design.font.pixelSize,
                                   design.font.bold));
    QPalette palette = widget->palette();
    if (design.textColour.isValid()) palette.setColor(QPalette::WindowText, design.textColour);
    if (design.background.isValid()) {
        palette.setColor(QPalette::Window, design.background);
        widget->setAutoFillBackground(true);
    }
    widget->setPalette(palette);
    if (design.alignment) {
        if (auto* label = qobject_cast<QLabel*>(widget)) label->setAlignment(design.alignment);
    }
    if (design.maxLength > 0) {
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->setMaxLength(design.maxLength);
    }
    if (design.checked) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setChecked(true);
    }
}

}  // namespace

void arrangeDockedChildren(QWidget* parent) {
    std::vector<QWidget*> left;
    std::vector<QWidget*> right;
    for (auto* child : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isHidden()) continue;
        switch (dockOf(child)) {
            case Dock::Left:
                left.push_back(child);
                break;
            case Dock::Right:
                right.push_back(child);
                break;
            case Dock::Bottom:
                child->setGeometry(0, parent->height() - child->height(), parent->width(),
                                   child->height());
                break;
            case Dock::None:
                break;
        }
    }
    const auto byLeftEdge = [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); };
    std::sort(left.begin(), left.end(), byLeftEdge);
    std::sort(right.begin(), right.end(), byLeftEdge);
    int edge = 0;
    for (auto* child : left) {
        child->setGeometry(edge, 0, child->width(), parent->height());
        edge += child->width();
    }
    edge = parent->width();
    for (auto it = right.rbegin(); it != right.rend(); ++it) {
        edge -= (*it)->width();
        (*it)->setGeometry(edge, 0, (*it)->width(), parent->height());
    }
}

QHash<QString, QWidget*> buildMainWindowControls(QWidget* window) {
    QHash<QString, QWidget*> made;
    for (const auto& design : mainWindowControls()) {
        QWidget* parent = design.parent ? made.value(QString::fromLatin1(design.parent)) : window;
        QWidget* widget = makeControl(design, parent ? parent : window);
        widget->setObjectName(QString::fromLatin1(design.name));
        widget->setProperty(kDockProperty, static_cast<int>(design.dock));
        if (design.kind != K::AnchoredLabel) widget->setGeometry(design.bounds);
        applyLook(design, widget);
        widget->setVisible(!design.hidden);
        made.insert(widget->objectName(), widget);
    }
    return made;
}

}  // namespace qe::ui
