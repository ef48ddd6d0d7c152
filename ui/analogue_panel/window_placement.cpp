#include "window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "outer_geometry.h"

namespace qe::ui {

namespace {

int overlap(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : common.width() * common.height();
}

}  // namespace

QPoint centredFramePosition(const QRect& over, QSize inner, const QMargins& frame,
                            const QRect& desktop) {
    const QSize outer = inner.grownBy(frame);
    return {std::max(over.left() + (over.width() - outer.width()) / 2, desktop.left()),
            std::max(over.top() + (over.height() - outer.height()) / 2, desktop.top())};
}

QRect frameKeptOnScreen(const QRect& frame, const QList<QRect>& availableAreas) {
    if (availableAreas.isEmpty()) return frame;
    const QRect* area = &availableAreas.front();
    for (const QRect& candidate : availableAreas)
        if (overlap(frame, candidate) > overlap(frame, *area)) area = &candidate;
    const QSize size = frame.size().boundedTo(area->size());
    // Right and bottom first, then left and top, so that the title bar wins when both cannot.
    const int left =
        std::max(std::min(frame.left(), area->right() + 1 - size.width()), area->left());
    const int top =
        std::max(std::min(frame.top(), area->bottom() + 1 - size.height()), area->top());
    return {QPoint(left, top), size};
}

QList<QRect> availableScreenAreas() {
    QList<QRect> areas;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        areas.append(primary->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen()) areas.append(screen->availableGeometry());
    return areas;
}

void keepOnScreen(QWidget& window) {
    const OuterGeometry* waiting = OuterGeometry::find(window);
    const QRect frame =
        waiting ? QRect(waiting->position(), waiting->size()) : window.frameGeometry();
    const QRect kept = frameKeptOnScreen(frame, availableScreenAreas());
    if (kept == frame) return;
    OuterGeometry& outer = OuterGeometry::of(window);
    if (kept.width() != frame.width()) outer.setWidth(kept.width());
    if (kept.height() != frame.height()) outer.setHeight(kept.height());
    outer.moveTo(kept.topLeft());
}

}  // namespace qe::ui
