#include "rot_layer.h"

#include <cmath>
#include <numbers>

#include "image_view.h"

namespace qe::ui {

RotLayer::RotLayer(ImageView* view) : AffineLayer(view) {}

void RotLayer::setAngle(float angle) {
    if (angle == angle_) return;  // a still needle repaints nothing
    angle_ = angle;
    changed();
}

void RotLayer::setPosition(PointF32 position) {
    if (position == position_) return;
    position_ = position;
    changed();
}

void RotLayer::setScaled(bool scaled) {
    if (scaled == scaled_) return;
    scaled_ = scaled;
    changed();
}

void RotLayer::PrepareTransformation() {
    // Qt maps row vectors, so t * step applies the step after everything already in t.
    const PointF32 center = BitmapCenter();
    const double alpha = angle_ * std::numbers::pi / 180.0;
    const double c = std::cos(alpha);
    const double s = std::sin(alpha);
    // y grows downwards, so this turns a positive angle counter-clockwise on the screen.
    const QTransform rotation(c, -s, s, c, 0.0, 0.0);

    QTransform t = QTransform::fromTranslate(-center.x, -center.y);
    t *= rotation;
    t *= QTransform::fromTranslate(position_.x, position_.y);
    if (scaled_ && view()) {
        const double zoom = view()->scale();
        const QPointF shift = view()->shift();
        t *= QTransform::fromScale(zoom, zoom);
        t *= QTransform::fromTranslate(shift.x(), shift.y());
    }
    transformation_ = t;
}

}  // namespace qe::ui
