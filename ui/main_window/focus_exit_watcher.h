#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace qe::ui {

// Runs an action when the focus leaves a control for another control of the same window,
// the way an edit field's "Exit" event runs. A message box or another application taking
// the focus does not count, nor does the control losing it by being disabled (as the poll
// cycle does in the middle of a tick). Nor does a control that never really had the focus:
// when another control's exit puts the focus back into itself, the control the user was
// moving to is told that it lost a focus it never got.
class FocusExitWatcher final : public QObject {
    Q_OBJECT
public:
    FocusExitWatcher(QWidget* control, std::function<void()> onExit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* control_;
    std::function<void()> onExit_;
    bool entered_ = false;  // the control heard that it got the focus, and has not lost it since
};

}  // namespace qe::ui
