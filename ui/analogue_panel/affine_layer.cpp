#include "affine_layer.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace qe::ui {

namespace {

// Pixel ratios this close above a whole number are taken as that number.
constexpr double kRatioTolerance = 1e-6;
// A layer shrunk further than this is treated as this small, for its outline's margin.
constexpr double kSmallestZoom = 1e-3;
// Transparent bitmap pixels kept around the inked part: the smoothing reads one beside each
// pixel, and one more for the rounding.
constexpr int kInkMargin = 2;
// Rows of view pixels that one rectangle of a coverage spans: few rectangles to clip and
// flush, little beside the outline.
constexpr int kSlabRows = 16;

// The x extent of a convex polygon within the rows from top to bottom.
std::pair<double, double> extentWithin(const QPolygonF& convex, double top, double bottom) {
    double left = std::numeric_limits<double>::max();
    double right = std::numeric_limits<double>::lowest();
    const auto take = [&](double x) {
        left = std::min(left, x);
        right = std::max(right, x);
    };
    for (qsizetype i = 0; i < convex.size(); ++i) {
        const QPointF a = convex[i];
        const QPointF b = convex[(i + 1) % convex.size()];
        if (a.y() >= top && a.y() <= bottom) take(a.x());
        for (const double y : {top, bottom})
            if ((a.y() - y) * (b.y() - y) < 0.0)
                take(a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()));
    }
    return {left, right};
}

// Whole rows of the outline, a slab of rows per rectangle. A repaint whose edge cut a row of
// the drawn bitmap would start the smoothing's steps there and round some pixels unlike a
// full paint does; these rectangles never cut one.
QRegion slabsAround(const QPolygonF& convex) {
    const QRect box = convex.boundingRect().toAlignedRect();
    QRegion slabs;
    for (int top = box.top(); top <= box.bottom(); top += kSlabRows) {
        const int bottom = std::min(box.bottom(), top + kSlabRows - 1);
        const auto [left, right] = extentWithin(convex, top, bottom + 1.0);
        if (left > right) continue;
        slabs += QRect(QPoint(static_cast<int>(std::floor(left)), top),
                       QPoint(static_cast<int>(std::ceil(right)), bottom));
    }
    return slabs;
}

// The smallest rectangle holding every pixel with any alpha, grown by kInkMargin within the
// bitmap; empty for a bitmap with nothing to draw.
QRect inkOf(const QImage& premultiplied) {
    int left = premultiplied.width();
    int right = -1;
    int top = premultiplied.height();
    int bottom = -1;
    for (int y = 0; y < premultiplied.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(premultiplied.constScanLine(y));
        for (int x = 0; x < premultiplied.width(); ++x) {
            if (qAlpha(line[x]) == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom))
        .adjusted(-kInkMargin, -kInkMargin, kInkMargin, kInkMargin)
        .intersected(premultiplied.rect());
}

}  // namespace

AffineLayer::AffineLayer(ImageView* view) : ImageLayer(view) {}

void AffineLayer::setBitmap(const QImage& bitmap) {
    bitmap_ =
        bitmap.isNull() ? QImage() : bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ink_ = inkOf(bitmap_);
    blocks_ = QImage();
    blockSize_ = 0;
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
    if (ink_.isEmpty()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(masterAlpha_ / 255.0);
    // On a screen of finer pixel density, smoothing one bitmap pixel into the next would
    // blur each edge over several screen pixels; blocks of screen pixels keep it to one.
    const int blockSize =
        static_cast<int>(std::ceil(painter.device()->devicePixelRatioF() - kRatioTolerance));
    if (blockSize <= 1) {
        painter.setTransform(transformation_, true);
        painter.drawImage(QPointF(0.0, 0.0), bitmap_);
        return;
    }
    painter.setTransform(QTransform::fromScale(1.0 / blockSize, 1.0 / blockSize) * transformation_,
                         true);
    painter.drawImage(QPointF(0.0, 0.0), blockBitmap(blockSize));
}

const QImage& AffineLayer::blockBitmap(int blockSize) {
    if (blockSize != blockSize_) {
        blocks_ = bitmap_.scaled(bitmap_.size() * blockSize, Qt::IgnoreAspectRatio,
                                 Qt::FastTransformation);
        blockSize_ = blockSize;
    }
    return blocks_;
}

QRect AffineLayer::bounds() {
    PrepareTransformation();
    if (bitmap_.isNull()) return {};
    // One pixel more all round for the smoothing at the transformed edges.
    const QRectF drawn = transformation_.mapRect(QRectF(QPointF(0.0, 0.0), QSizeF(bitmap_.size())));
    return drawn.toAlignedRect().adjusted(-1, -1, 1, 1);
}

QRegion AffineLayer::coverage() {
    PrepareTransformation();
    if (ink_.isEmpty()) return {};
    // Grown by two view pixels for the smoothing and the rounding to pixels.
    const double zoom = std::sqrt(std::abs(transformation_.determinant()));
    const double grow = 2.0 / std::max(zoom, kSmallestZoom);
    const QPolygonF outline =
        transformation_.map(QPolygonF(QRectF(ink_).adjusted(-grow, -grow, grow, grow)));
    return slabsAround(outline);
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
