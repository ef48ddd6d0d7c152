#pragma once

#include <QString>

class QRadioButton;
class QWidget;

namespace qe {
class MessageSink;
}

namespace qe::ui {

// What the stored layout covers: both windows and the panel's scale choice.
struct LayoutWindows {
    QWidget& settings;       // the main window
    QWidget& display;        // the analogue panel
    QRadioButton& position;  // checked: position scale
    QRadioButton& tacho;
};

// Where the layout is stored: the tool's ini file, one section per adapter serial number.
struct LayoutStore {
    QString iniFilePath;
    QString section;
};

// Writes the windows' edges and outer sizes and the scale. When the file cannot be written,
// stops at that key with "Unable to write to <path>"; the keys before it stay written.
void saveWindowLayout(const LayoutStore& store, const LayoutWindows& windows,
                      MessageSink& messages);

// Applies each stored value at once, in the order they are saved; a missing or non-numeric
// value leaves its property alone. A value that cannot be applied before the window's
// frame is known waits until then (OuterGeometry). The scale is the position scale when "Display"
// is missing or reads exactly "position", the tacho scale for any other text.
void loadWindowLayout(const LayoutStore& store, const LayoutWindows& windows);

}  // namespace qe::ui
