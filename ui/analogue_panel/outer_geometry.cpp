#include "outer_size.h"

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

OuterSize::OuterSize(QWidget& window) : QObject(&window), window_(window) {
    window_.installEventFilter(this);
    watchWindowHandle();
}

OuterSize& OuterSize::of(QWidget& window) {
    if (auto* own = window.findChild<OuterSize*>(QString(), Qt::FindDirectChildrenOnly))
        return *own;
    return *new OuterSize(window);
}

const OuterSize* OuterSize::find(const QWidget& window) {
    return window.findChild<const OuterSize*>(QString(), Qt::FindDirectChildrenOnly);
}

void OuterSize::setHeight(int outerHeight) {
    pendingHeight_ = outerHeight;
    if (frameKnown()) applyPending();
}

void OuterSize::setWidth(int outerWidth) {
    pendingWidth_ = outerWidth;
    if (frameKnown()) applyPending();
}

QSize OuterSize::current() const {
    const QSize framed = window_.frameGeometry().size();
    return {pendingWidth_.value_or(framed.width()), pendingHeight_.value_or(framed.height())};
}

QSize OuterSize::innerSizeWithin(const QMargins& frame) const {
    return {pendingWidth_ ? *pendingWidth_ - frame.left() - frame.right() : window_.width(),
            pendingHeight_ ? *pendingHeight_ - frame.top() - frame.bottom() : window_.height()};
}

bool OuterSize::frameKnown() const {
    // A window that has been on the screen has its frame (or has shown that it gets none).
    if (exposedBefore_) return true;
    if (!frameMarginsOf(window_).isNull()) return true;
    const QWindow* handle = window_.windowHandle();
    return handle && handle->isExposed();
}

void OuterSize::watchWindowHandle() {
    if (QWindow* handle = window_.windowHandle()) handle->installEventFilter(this);
}

void OuterSize::applyPending() {
    if (!isPending()) return;
    const QSize inner = innerSizeWithin(frameMarginsOf(window_));
    pendingWidth_.reset();
    pendingHeight_.reset();
    window_.resize(inner);
}

bool OuterSize::eventFilter(QObject* watched, QEvent* event) {
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
