#pragma once

#include <QPointF>
#include <QRect>
#include <QRegion>

class QPainter;

namespace qe::ui {

class ImageView;

// A picture drawn over an ImageView's image. The view owns its layers and paints them in
// the order they were added; a layer made without a view (view() == nullptr) can still be
// transformed and hit-tested, it is just never shown.
class ImageLayer {
public:
    explicit ImageLayer(ImageView* view) : view_(view) {}
    virtual ~ImageLayer() = default;
    ImageLayer(const ImageLayer&) = delete;
    ImageLayer& operator=(const ImageLayer&) = delete;

    ImageView* view() const { return view_; }

    bool isVisible() const { return visible_; }
    void setVisible(bool visible);

    virtual void Paint(QPainter& painter) = 0;
    // Whether the point, in view pixels, lies on this layer.
    virtual bool HitTest(QPointF point) = 0;
    // The view pixels that painting the layer now would touch; empty when it draws nothing.
    virtual QRect bounds() = 0;
    // What a repaint for the layer covers: its bounds, or less for a layer that fills little
    // of them (a long needle turned half-way between the axes).
    virtual QRegion coverage() { return bounds(); }

protected:
    // Tells the view that the layer looks different; only a visible layer makes it repaint.
    void changed();

private:
    ImageView* view_;
    bool visible_ = true;
};

}  // namespace qe::ui
