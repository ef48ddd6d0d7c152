#pragma once

#include "affine_layer.h"

namespace qe::ui {

// TRotLayer: draws its bitmap rotated by Angle about BitmapCenter, with the pivot placed at
// Position; with Scaled it follows the view's zoom and centring, Position then being in the
// coordinates of the view's image rather than of the view.
class RotLayer : public AffineLayer {
public:
    explicit RotLayer(ImageView* view);

    // Degrees, counter-clockwise as seen on the screen; 0 leaves the bitmap unrotated.
    float Angle() const { return angle_; }
    void setAngle(float angle);

    PointF32 Position() const { return position_; }
    void setPosition(PointF32 position);

    bool Scaled() const { return scaled_; }
    void setScaled(bool scaled);

    void PrepareTransformation() override;

private:
    PointF32 position_;
    bool scaled_ = false;
    float angle_ = 0.0f;
};

}  // namespace qe::ui
