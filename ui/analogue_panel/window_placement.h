#pragma once

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace qe::ui {

// Where the frame's top-left corner of a window goes when the window, `inner` big inside a
// `frame`, is centred over the outer rectangle `over`, kept no further left or up than the
// desktop's left and top edges.
QPoint centredFramePosition(const QRect& over, QSize inner, const QMargins& frame,
                            const QRect& desktop);

// The frame moved, as little as it takes, to lie wholly within one screen's available area:
// the one it overlaps most, else the first (the primary screen's). A frame larger than that
// area is made as large as the area. A frame that fits stays where it is.
QRect frameKeptOnScreen(const QRect& frame, const QList<QRect>& availableAreas);

// The available areas of the screens now, the primary screen's first.
QList<QRect> availableScreenAreas();

// Moves a top-level window's frame (the stored or waiting one, else the one it has) wholly
// onto the screen, as frameKeptOnScreen does.
void keepOnScreen(QWidget& window);

}  // namespace qe::ui
