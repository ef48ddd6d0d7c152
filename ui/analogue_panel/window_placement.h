#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace qe::ui {

// Where the frame's top-left corner of a window goes when the window, `inner` big inside a
// `frame`, is centred over the outer rectangle `over`, kept no further left or up than the
// desktop's left and top edges.
QPoint centredFramePosition(const QRect& over, QSize inner, const QMargins& frame,
                            const QRect& desktop);

}  // namespace qe::ui
