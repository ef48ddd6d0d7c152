#include "beside_placement.h"

#include <algorithm>

namespace qe::ui {

QPoint besideFramePosition(const QRect& mainFrame, QSize inner, const QMargins& frame,
                           const QRect& desk, int gap) {
    const QSize outer = inner.grownBy(frame);
    QPoint place(mainFrame.right() + 1 + gap, mainFrame.top());
    if (place.x() + outer.width() - 1 > desk.right()) {
        place = QPoint(mainFrame.left(), mainFrame.bottom() + 1 + gap);
        if (place.y() + outer.height() - 1 > desk.bottom())
            place = QPoint(desk.right() + 1 - outer.width(), mainFrame.top());
    }
    // Wholly on the desk where it fits; the title bar stays reachable where it does not.
    place.setX(std::min(place.x(), desk.right() + 1 - outer.width()));
    place.setY(std::min(place.y(), desk.bottom() + 1 - outer.height()));
    return {std::max(place.x(), desk.left()), std::max(place.y(), desk.top())};
}

}  // namespace qe::ui
