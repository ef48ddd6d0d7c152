#include "image_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <ranges>

namespace qe::ui {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ImgView"));
    setMouseTracking(true);
    // Every pixel is painted, the background included.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ImageView::~ImageView() = default;

void ImageView::setBitmap(const QImage& bitmap) {
    bitmap_ = bitmap;
    emit changed();
    update();
}

double ImageView::scale() const {
    if (bitmap_.isNull()) return 1.0;
    return std::min(static_cast<double>(width()) / bitmap_.width(),
                    static_cast<double>(height()) / bitmap_.height());
}

QPointF ImageView::shift() const {
    if (bitmap_.isNull()) return {0.0, 0.0};
    const double s = scale();
    return {(width() - bitmap_.width() * s) / 2.0, (height() - bitmap_.height() * s) / 2.0};
}

ImageLayer* ImageView::layerAt(QPointF point) const {
    for (const auto& layer : std::views::reverse(layers_))
        if (layer->isVisible() && layer->HitTest(point)) return layer.get();
    return nullptr;
}

void ImageView::layerChanged(ImageLayer& layer) {
    emit changed();
    QRegion dirty = paintedAreas_[&layer];
    if (layer.isVisible()) dirty += layer.coverage();
    if (!dirty.isEmpty()) update(dirty);
}

const QPixmap& ImageView::background() {
    const BackgroundKey key{size(), devicePixelRatioF(), bitmap_.cacheKey(),
                            palette().color(QPalette::Dark).rgb()};
    if (key == backgroundKey_ && !background_.isNull()) return background_;
    backgroundKey_ = key;
    background_ = QPixmap(size() * key.pixelRatio);
    background_.setDevicePixelRatio(key.pixelRatio);
    background_.fill(QColor::fromRgb(key.workspace));
    if (!bitmap_.isNull() && !size().isEmpty()) {
        QPainter painter(&background_);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const double s = scale();
        painter.drawImage(QRectF(shift(), QSizeF(bitmap_.width() * s, bitmap_.height() * s)),
                          bitmap_);
    }
    return background_;
}

void ImageView::paintEvent(QPaintEvent*) {
    // The painter is clipped to the region asked for.
    QPainter painter(this);
    painter.drawPixmap(0, 0, background());
    for (const auto& layer : layers_) {
        if (!layer->isVisible()) {
            paintedAreas_.erase(layer.get());
            continue;
        }
        painter.save();
        layer->Paint(painter);
        painter.restore();
        paintedAreas_[layer.get()] = layer->coverage();
    }
}

void ImageView::mousePressEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    emit mouseDown(event->button(), event->modifiers(), position, layerAt(position));
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMove(event->modifiers(), event->position().toPoint());
}

}  // namespace qe::ui
