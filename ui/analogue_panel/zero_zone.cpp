#include "zero_zone.h"

#include <algorithm>

namespace qe::ui {

namespace {

constexpr double kLeft = 0.397;
constexpr double kRight = 0.602;
constexpr double kTop = 0.681;
constexpr double kBottom = 0.733;

}  // namespace

bool inZeroZone(QSize view, QPoint point) {
    const int side = std::min(view.width(), view.height());
    if (side <= 0) return false;
    const double u = (point.x() - (view.width() - side) / 2.0) / side;
    const double v = (point.y() - (view.height() - side) / 2.0) / side;
    return kLeft < u && u < kRight && kTop < v && v < kBottom;
}

}  // namespace qe::ui
