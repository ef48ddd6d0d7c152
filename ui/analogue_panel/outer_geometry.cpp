#include "outer_geometry.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace qe::ui {

QMargins frameMarginsOf(const QWidget& window) {
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

OuterGeometry::OuterGeometry(QWidget& window) : QObject(&window), window_(window) {
    window_.installEventFilter(this);
    watchWindowHandle();
}

OuterGeometry& OuterGeometry::of(QWidget& window) {
    if (auto* own = window.findChild<OuterGeometry*>(QString(), Qt::FindDirectChildrenOnly))
        return *own;
    return *new OuterGeometry(window);
}

const OuterGeometry* OuterGeometry::find(const QWidget& window) {
    return window.findChild<const OuterGeometry*>(QString(), Qt::FindDirectChildrenOnly);
}

void OuterGeometry::setLeft(int left) {
    pendingLeft_ = left;
    applyWhatCan();
}

void OuterGeometry::setTop(int top) {
    pendingTop_ = top;
    applyWhatCan();
}

void OuterGeometry::moveTo(QPoint frameTopLeft) {
    pendingLeft_ = frameTopLeft.x();
    pendingTop_ = frameTopLeft.y();
    applyWhatCan();
}

void OuterGeometry::setHeight(int outerHeight) {
    pendingHeight_ = outerHeight;
    applyWhatCan();
}

void OuterGeometry::setWidth(int outerWidth) {
    pendingWidth_ = outerWidth;
    applyWhatCan();
}

QPoint OuterGeometry::position() const {
    const QPoint framed = window_.frameGeometry().topLeft();
    return {pendingLeft_.value_or(framed.x()), pendingTop_.value_or(framed.y())};
}

QSize OuterGeometry::size() const {
    const QSize framed = window_.frameGeometry().size();
    return {pendingWidth_.value_or(framed.width()), pendingHeight_.value_or(framed.height())};
}

bool OuterGeometry::isPending() const {
    return pendingLeft_ || pendingTop_ || pendingWidth_ || pendingHeight_;
}

QSize OuterGeometry::innerSizeWithin(const QMargins& frame) const {
    return {pendingWidth_ ? *pendingWidth_ - frame.left() - frame.right() : window_.width(),
            pendingHeight_ ? *pendingHeight_ - frame.top() - frame.bottom() : window_.height()};
}

bool OuterGeometry::frameKnown() const {
    // A window that has been on the screen has its frame (or has shown that it gets none).
    if (exposedBefore_) return true;
    if (!frameMarginsOf(window_).isNull()) return true;
    const QWindow* handle = window_.windowHandle();
    return handle && handle->isExposed();
}

void OuterGeometry::watchWindowHandle() {
    if (QWindow* handle = window_.windowHandle()) handle->installEventFilter(this);
}

void OuterGeometry::applyWhatCan() {
    if (frameKnown()) return applyPending();
    // Not in the window system yet: Qt keeps a position as the frame's and has the window
    // manager put the frame there when the window is made. The size still waits.
    if (!window_.testAttribute(Qt::WA_WState_Created) && (pendingLeft_ || pendingTop_)) {
        const QPoint at = position();
        pendingLeft_.reset();
        pendingTop_.reset();
        window_.move(at);
    }
}

void OuterGeometry::applyPending() {
    if (!isPending()) return;
    const QPoint at = position();
    const bool moves = pendingLeft_ || pendingTop_;
    const bool resizes = pendingWidth_ || pendingHeight_;
    const QSize inner = innerSizeWithin(frameMarginsOf(window_));
    pendingLeft_.reset();
    pendingTop_.reset();
    pendingWidth_.reset();
    pendingHeight_.reset();
    if (moves) window_.move(at);
    if (resizes) window_.resize(inner);
}

bool OuterGeometry::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        // Sent once the window system has been asked to show the window: some platforms
        // know the frame by then, the others tell when they expose the window.
        if (event->type() == QEvent::ShowToParent && window_.isWindow()) {
            watchWindowHandle();
            if (frameKnown()) applyPending();
        }
    } else if (event->type() == QEvent::Expose && watched == window_.windowHandle()) {
        if (window_.windowHandle()->isExposed()) {
            exposedBefore_ = true;
            applyPending();
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qe::ui
