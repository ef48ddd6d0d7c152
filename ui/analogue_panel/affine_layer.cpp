#include "affine_layer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qe::ui {

AffineLayer::AffineLayer(ImageView* view) : ImageLayer(view) {}

void AffineLayer::setBitmap(const QImage& bitmap) {
    bitmap_ =
        bitmap.isNull() ? QImage() : bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    changed();
}

void AffineLayer::setMasterAlpha(int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    if (alpha == masterAlpha_) return;
    masterAlpha_ = alpha;
    changed();
}

void AffineLayer::setBitmapCenter(PointF32 center) {
    if (center == bitmapCenter_) return;
    bitmapCenter_ = center;
    changed();
}

void AffineLayer::Paint(QPainter& painter) {
    PrepareTransformation();
    if (bitmap_.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(masterAlpha_ / 255.0);
    painter.setTransform(transformation_, true);
    painter.drawImage(QPointF(0.0, 0.0), bitmap_);
}

QRect AffineLayer::bounds() {
    PrepareTransformation();
    if (bitmap_.isNull()) return {};
    // One pixel more all round for the smoothing at the transformed edges.
    const QRectF drawn = transformation_.mapRect(QRectF(QPointF(0.0, 0.0), QSizeF(bitmap_.size())));
    return drawn.toAlignedRect().adjusted(-1, -1, 1, 1);
}

bool AffineLayer::HitTest(QPointF point) {
    // Rebuilt here too, so a hit test right after a property change is not a paint behind.
    PrepareTransformation();
    if (bitmap_.isNull()) return false;
    bool invertible = false;
    const QTransform back = transformation_.inverted(&invertible);
    if (!invertible) return false;
    const QPointF source = back.map(point);
    const int bx = static_cast<int>(std::floor(source.x()));
    const int by = static_cast<int>(std::floor(source.y()));
    if (bx < 0 || by < 0 || bx >= bitmap_.width() || by >= bitmap_.height()) return false;
    return !alphaHit_ || qAlpha(bitmap_.pixel(bx, by)) != 0;
}

}  // namespace qe::ui
