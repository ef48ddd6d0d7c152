#pragma once

#include <QHash>
#include <QString>

class QWidget;

namespace qe::ui {

// Moves the docked children of the parent to their edges: left and right ones stack
// from their edge in their current order, bottom ones span the width.
void arrangeDockedChildren(QWidget* parent);

// Builds every control of the main window as designed into the window; the result maps
// object names to the widgets made.
QHash<QString, QWidget*> buildMainWindowControls(QWidget* window);

}  // namespace qe::ui
