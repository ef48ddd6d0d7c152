#pragma once

#include <QFont>
#include <QString>

namespace qe::ui {

// Makes the window's fonts available: Tahoma from Wine's free copy where it is installed,
// and metric-compatible stand-ins for the Windows fonts that Linux does not have, so the
// controls keep their designed proportions. Safe to call more than once.
void registerDesignFonts();

// The installed family that stands in for a designed family name.
QString designFamily(const QString& designName);

// A font of the designed family and character height in pixels.
QFont designFont(const QString& designName, int pixelSize, bool bold = false);

}  // namespace qe::ui
