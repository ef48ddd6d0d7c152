#pragma once

#include <QImage>

#include "affine_layer.h"

namespace qe::ui {

class RotLayer;

// The needle as loaded (pointing right from its centre, on pure white) turned into a
// premultiplied ARGB bitmap: a one-pixel white frame is drawn along its border, then every
// pixel whose colour is FFFFFF becomes fully transparent, so the background and the edge
// vanish and the rotated needle gets soft edges.
QImage needleBitmapFrom(const QImage& loaded);

// The pivot of a needle image of that size: its centre, ((w - 1) / 2, (h - 1) / 2).
PointF32 needlePivot(QSize size);

// Gives the layer the needle: bitmap, pivot at the needle's centre, placed at `position`
// on the dial, with the constant opacity `masterAlpha`.
void prepareNeedle(RotLayer& layer, const QImage& loaded, int masterAlpha, PointF32 position);

}  // namespace qe::ui
