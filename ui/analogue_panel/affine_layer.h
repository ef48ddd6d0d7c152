#pragma once

#include <QImage>
#include <QTransform>

#include "image_layer.h"

namespace qe::ui {

// A point kept in single precision, as the layers store their pivots and positions.
struct PointF32 {
    float x = 0.0f;
    float y = 0.0f;
    friend bool operator==(const PointF32&, const PointF32&) = default;
};

// TCustomAffineLayer: a layer that owns a bitmap and draws it through an affine
// transformation from bitmap pixels to view pixels. Subclasses build the transformation
// in PrepareTransformation, which runs before every paint and hit test.
class AffineLayer : public ImageLayer {
public:
    explicit AffineLayer(ImageView* view);

    // When true, fully transparent pixels are not hit. Changing it repaints nothing.
    bool AlphaHit() const { return alphaHit_; }
    void setAlphaHit(bool alphaHit) { alphaHit_ = alphaHit; }

    // The layer keeps its own copy, converted to premultiplied ARGB.
    const QImage& Bitmap() const { return bitmap_; }
    void setBitmap(const QImage& bitmap);

    // Constant opacity of the whole bitmap, 0..255.
    int MasterAlpha() const { return masterAlpha_; }
    void setMasterAlpha(int alpha);

    PointF32 BitmapCenter() const { return bitmapCenter_; }
    void setBitmapCenter(PointF32 center);

    const QTransform& Transformation() const { return transformation_; }

    void Paint(QPainter& painter) override;
    bool HitTest(QPointF point) override;
    QRect bounds() override;
    // The outline of the transformed bitmap's inked part rather than the rectangle around it.
    QRegion coverage() override;

    // Rebuilds Transformation() from the layer's current properties.
    virtual void PrepareTransformation() {}

protected:
    QTransform transformation_;

private:
    bool alphaHit_ = false;
    PointF32 bitmapCenter_;
    // The bitmap with each pixel made a block of `blockSize_` squared pixels, for screens of
    // a finer pixel density; made when first needed.
    const QImage& blockBitmap(int blockSize);

    QImage bitmap_;
    // The part of the bitmap that can change a pixel: its pixels that are not fully
    // transparent, with a margin for the smoothing. A needle's bitmap is half empty; its
    // coverage is this part's, so a repaint does not draw the empty half again.
    QRect ink_;
    QImage blocks_;
    int blockSize_ = 0;
    int masterAlpha_ = 255;
};

}  // namespace qe::ui
