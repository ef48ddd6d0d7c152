#include "window_placement.h"

#include <algorithm>

namespace qe::ui {

QPoint centredFramePosition(const QRect& over, QSize inner, const QMargins& frame,
                            const QRect& desktop) {
    const QSize outer = inner.grownBy(frame);
    return {std::max(over.left() + (over.width() - outer.width()) / 2, desktop.left()),
            std::max(over.top() + (over.height() - outer.height()) / 2, desktop.top())};
}

}  // namespace qe::ui
