#pragma once

#include <QMargins>
#include <QObject>
#include <QSize>

#include <optional>

class QWidget;

namespace qe::ui {

// The frame the window system draws around a top-level window, as Qt knows it now: none
// before the window's first showing, and none on platforms that draw no frames.
QMargins frameMarginsOf(const QWidget& window);

// A top-level window's outer size, frame included, as the stored layout gives it. Qt learns
// the frame only once the window has been shown, so a size set before then waits and is
// applied as soon as the frame is known (right after the showing, or at the latest when the
// window is first exposed; a platform that reports no frame then gets the size as it is).
class OuterSize : public QObject {
    Q_OBJECT
public:
    // The window's own, made on first use.
    static OuterSize& of(QWidget& window);
    // The window's own if it has one.
    static const OuterSize* find(const QWidget& window);

    void setHeight(int outerHeight);
    void setWidth(int outerWidth);

    // The outer size: what is waiting to be applied, or else what the window has.
    QSize current() const;
    bool isPending() const { return pendingWidth_ || pendingHeight_; }
    // The inner size the window gets from what is waiting, with that frame around it.
    QSize innerSizeWithin(const QMargins& frame) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit OuterSize(QWidget& window);
    bool frameKnown() const;
    void watchWindowHandle();
    void applyPending();

    QWidget& window_;
    std::optional<int> pendingWidth_;
    std::optional<int> pendingHeight_;
    bool exposedBefore_ = false;
};

}  // namespace qe::ui
