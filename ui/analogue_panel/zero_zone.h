#pragma once

#include <QPoint>
#include <QSize>

namespace qe::ui {

// Whether a point of the view lies on the position dial's zero zone. The dial is taken to
// fill the largest centred square of the view; the zone is 0.397 < u < 0.602 and
// 0.681 < v < 0.733 in fractions of that square's side, every bound exclusive.
bool inZeroZone(QSize view, QPoint point);

}  // namespace qe::ui
