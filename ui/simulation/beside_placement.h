#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace qe::ui {

// Where the frame's top-left corner of a window, `inner` big inside a `frame`, goes next to
// a window whose frame is `mainFrame`, without covering it: `gap` pixels to its right when
// the desk has room there, else below it, else against the desk's right edge level with its
// top; moved onto the desk where it would stand over its right or bottom edge. Never further
// left or up than the desk's edges, so the title bar stays reachable.
QPoint besideFramePosition(const QRect& mainFrame, QSize inner, const QMargins& frame,
                           const QRect& desk, int gap);

}  // namespace qe::ui
