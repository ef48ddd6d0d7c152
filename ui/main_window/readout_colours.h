#pragma once

#include <QColor>

namespace qe::ui {

// Readout values are blue, or red when the chip flags them.
inline constexpr QColor kReadoutBlue(0, 0, 255);
inline constexpr QColor kAlarmRed(255, 0, 0);

}  // namespace qe::ui
