#include "focus_exit_watcher.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <utility>

namespace qe::ui {

FocusExitWatcher::FocusExitWatcher(QWidget* control, std::function<void()> onExit)
    : QObject(control), control_(control), onExit_(std::move(onExit)) {
    control_->installEventFilter(this);
}

bool FocusExitWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (watched == control_) {
        if (event->type() == QEvent::FocusIn) entered_ = true;
        const bool left = event->type() == QEvent::FocusOut && std::exchange(entered_, false);
        if (left && control_->isEnabled() && control_->isVisible()) {
            // By the time the control hears of it, the application already names the new owner.
            const QWidget* next = QApplication::focusWidget();
            if (next && next != control_ && next->window() == control_->window()) onExit_();
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qe::ui
