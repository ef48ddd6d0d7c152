#pragma once

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QSize>

#include <optional>

class QWidget;

namespace qe::ui {

// The frame the window system draws around a top-level window, as Qt knows it now: none
// before the window's first showing, and none on platforms that draw no frames.
QMargins frameMarginsOf(const QWidget& window);

// A top-level window's place and size as the user sees them and the stored layout gives
// them: its frame's left and top edges and its outer size, frame included.
//
// A window that does not exist in the window system yet takes a position as its frame's at
// once. Once it exists, Qt places it by its inside until the frame is known, which under a
// window manager would put the title bar above the given place; and Qt learns the frame
// only once the window has been shown, so the outer size cannot be turned into an inside
// size before either. Whatever cannot be applied yet waits and is applied as soon as the
// frame is known (right after the showing, or at the latest when the window is first
// exposed; a platform that reports no frame then gets the values as they are).
class OuterGeometry : public QObject {
    Q_OBJECT
public:
    // The window's own, made on first use.
    static OuterGeometry& of(QWidget& window);
    // The window's own if it has one.
    static const OuterGeometry* find(const QWidget& window);

    void setLeft(int left);
    void setTop(int top);
    void moveTo(QPoint frameTopLeft);
    void setHeight(int outerHeight);
    void setWidth(int outerWidth);

    // The frame's top-left corner and the outer size: what is waiting to be applied, or
    // else what the window has.
    QPoint position() const;
    QSize size() const;
    bool isPending() const;
    // The inner size the window gets from what is waiting, with that frame around it.
    QSize innerSizeWithin(const QMargins& frame) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit OuterGeometry(QWidget& window);
    bool frameKnown() const;
    void watchWindowHandle();
    void applyWhatCan();
    void applyPending();

    QWidget& window_;
    std::optional<int> pendingLeft_;
    std::optional<int> pendingTop_;
    std::optional<int> pendingWidth_;
    std::optional<int> pendingHeight_;
    bool exposedBefore_ = false;
};

}  // namespace qe::ui
