#include "image_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <ranges>
#include <utility>

namespace qe::ui {

namespace {
// Device rows painted at a time: few enough that Qt draws them on the window's own thread
// (it shares out drawings of about a hundred rows or more).
constexpr int kBandDeviceRows = 64;
}  // namespace

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ImgView"));
    setMouseTracking(true);
    // Every pixel is painted, the background included.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ImageView::~ImageView() = default;

void ImageView::setBitmap(const QImage& bitmap, BitmapDrawing drawing) {
    bitmap_ = bitmap;
    drawing_ = std::move(drawing);
    background_ = QPixmap();  // the same image may come with another drawing
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
    // A view not on the screen paints whole when it comes; the readout turns the closed
    // panel's needles 15 times a second, and their outlines are not worth working out.
    if (!isVisible()) return;
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
        const QRectF target(shift(), QSizeF(bitmap_.width() * s, bitmap_.height() * s));
        if (key.pixelRatio > 1.0 && drawing_.draw && drawing_.bare.size() == bitmap_.size()) {
            painter.drawImage(target, drawing_.bare);
            painter.translate(target.topLeft());
            painter.scale(s, s);
            drawing_.draw(painter);
        } else {
            painter.drawImage(target, bitmap_);
        }
    }
    return background_;
}

void ImageView::paintEvent(QPaintEvent* event) {
    // Band by band: Qt hands the rows of one large drawing to its thread pool, waking its
    // threads on every readout; a band's few rows stay on this thread. Bands cut no row, so
    // every pixel is drawn as in one piece.
    QPainter painter(this);
    const QRegion asked = event->region();
    const QRect whole = asked.boundingRect();
    const int bandRows = std::max(1, static_cast<int>(kBandDeviceRows / devicePixelRatioF()));
    for (int top = whole.top(); top <= whole.bottom(); top += bandRows) {
        const QRegion band = asked.intersected(QRect(whole.left(), top, whole.width(), bandRows));
        if (band.isEmpty()) continue;
        painter.setClipRegion(band);
        painter.drawPixmap(0, 0, background());
        for (const auto& layer : layers_) {
            if (!layer->isVisible()) continue;
            painter.save();
            layer->Paint(painter);
            painter.restore();
        }
    }
    for (const auto& layer : layers_) {
        if (layer->isVisible())
            paintedAreas_[layer.get()] = layer->coverage();
        else
            paintedAreas_.erase(layer.get());
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
