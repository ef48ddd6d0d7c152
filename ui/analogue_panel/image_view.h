#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QRegion>
#include <QWidget>

#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "image_layer.h"

class QPainter;

namespace qe::ui {

// What was drawn over a bitmap, in the bitmap's pixels, and the bitmap before it.
struct BitmapDrawing {
    QImage bare;
    std::function<void(QPainter&)> draw;
};

// Shows an image scaled to fit the widget with its aspect ratio kept, centred and smoothly
// resampled, with layers drawn over it. The part of the widget the image does not cover
// shows the palette's dark (workspace) colour. There are no scroll bars.
class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);
    ~ImageView() override;

    const QImage& bitmap() const { return bitmap_; }
    // With `drawing`, a screen of a finer pixel density than one shows the bare bitmap
    // scaled and the drawing made again at the screen's pixels, rather than the drawn
    // bitmap scaled up (its text would be blurred). At ratio 1 the bitmap is shown as it is.
    void setBitmap(const QImage& bitmap, BitmapDrawing drawing = {});

    // The mapping from image pixels to view pixels at the widget's current size:
    // view = image * scale + shift.
    double scale() const;
    QPointF shift() const;

    // Creates a layer of type T over the ones added before; the view owns it.
    template <typename T, typename... Args>
    T& addLayer(Args&&... args) {
        auto layer = std::make_unique<T>(this, std::forward<Args>(args)...);
        T& added = *layer;
        layers_.push_back(std::move(layer));
        layerChanged(added);
        return added;
    }
    const std::vector<std::unique_ptr<ImageLayer>>& layers() const { return layers_; }

    // The topmost visible layer under the point, or nullptr.
    ImageLayer* layerAt(QPointF point) const;

    // Called by a layer whose look changed: repaints where the layer was last painted and
    // where it is now, nothing else.
    void layerChanged(ImageLayer& layer);

signals:
    // Anything shown changed: the image, a visible layer, a layer's visibility.
    void changed();
    // Mouse positions are in view pixels.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position,
                   qe::ui::ImageLayer* layer);
    // No layer with a move: finding it would hit-test every layer on every move.
    void mouseMove(Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // What the scaled image was made for; any difference makes it again.
    struct BackgroundKey {
        QSize size;
        qreal pixelRatio = 0.0;
        qint64 image = 0;
        QRgb workspace = 0;
        friend bool operator==(const BackgroundKey&, const BackgroundKey&) = default;
    };
    // The image scaled into the view over the workspace colour: smooth scaling is by far
    // the dearest part of a paint, so it is done once per image and view size.
    const QPixmap& background();

    QImage bitmap_;
    BitmapDrawing drawing_;
    std::vector<std::unique_ptr<ImageLayer>> layers_;
    std::unordered_map<const ImageLayer*, QRegion> paintedAreas_;
    QPixmap background_;
    BackgroundKey backgroundKey_;
};

}  // namespace qe::ui
