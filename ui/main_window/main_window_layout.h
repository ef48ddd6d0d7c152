#pragma once

#include <QColor>
#include <QHash>
#include <QRect>
#include <QString>
#include <vector>

class QWidget;

namespace qe::ui {

enum class ControlKind {
    Toggle,          // flat button with four state images
    Panel,           // plain rectangle, optionally coloured
    Image,           // picture, centred and scaled to fit
    Label,           // fixed-size text
    AnchoredLabel,   // text that sizes itself and keeps its right edge
    CheckBox,
    Button,
    ImageButton,     // button with a picture beside its caption
    GroupBox,
    RadioGroup,      // items come from the chip's setting groups
    RadioButton,
    Edit,
    ComboBox,
    StatusBar,
};

// Where a control stays when its parent changes size; the others keep their bounds.
enum class Dock { None, Left, Right, Bottom };

// A font by its designed family name and character height in pixels; an empty family
// means the window's own font.
struct FontSpec {
    const char* family = nullptr;
    int pixelSize = 0;
    bool bold = false;
};

// One control of the main window as designed.
struct ControlSpec {
    const char* name;
    ControlKind kind;
    const char* parent;           // nullptr: the window itself
    QRect bounds;                 // in the parent's client area
    const char* caption = "";     // UTF-8
    FontSpec font = {};
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

// Every control of the main window, parents before their children.
const std::vector<ControlSpec>& mainWindowControls();

// Moves the docked children of the parent to their edges: left and right ones stack
// from their edge in their current order, bottom ones span the width.
void arrangeDockedChildren(QWidget* parent);

// Builds the controls of the table into the window; the result maps object names to
// the widgets made.
QHash<QString, QWidget*> buildMainWindowControls(QWidget* window);

}  // namespace qe::ui
