// Turning the needle file into the layer's bitmap: white frame, white made transparent.
#include <gtest/gtest.h>

#include "needle_bitmap.h"
#include "panel_test_images.h"
#include "rot_layer.h"

namespace qe::ui::test {
namespace {

TEST(NeedleBitmap, PureWhiteAndTheBorderBecomeTransparentEverythingElseStays) {
    QImage loaded(6, 5, QImage::Format_ARGB32);
    loaded.fill(qRgb(255, 255, 255));
    loaded.setPixel(2, 2, qRgb(200, 0, 0));            // the needle
    loaded.setPixel(3, 2, qRgb(254, 254, 254));        // nearly white is not white
    loaded.setPixel(3, 1, qRgba(255, 255, 255, 128));  // white whatever its alpha
    loaded.setPixel(0, 2, qRgb(0, 0, 200));            // on the border: the frame paints it over
    loaded.setPixel(5, 4, qRgb(0, 0, 200));

    const QImage needle = needleBitmapFrom(loaded);
    ASSERT_EQ(needle.size(), loaded.size());
    EXPECT_EQ(needle.format(), QImage::Format_ARGB32_Premultiplied);

    struct Expect {
        int x;
        int y;
        QRgb argb;  // unpremultiplied
    };
    const Expect expected[] = {
        {2, 2, qRgba(200, 0, 0, 255)},
        {3, 2, qRgba(254, 254, 254, 255)},
        {3, 1, 0},
        {1, 1, 0},
        {0, 2, 0},
        {5, 4, 0},
        {0, 0, 0},
        {5, 0, 0},
        {2, 4, 0},
    };
    const QImage plain = needle.convertToFormat(QImage::Format_ARGB32);
    for (const Expect& e : expected) EXPECT_EQ(plain.pixel(e.x, e.y), e.argb) << e.x << ", " << e.y;
}

TEST(NeedleBitmap, PreparingALayerSetsPivotPositionAndOpacity) {
    RotLayer layer(nullptr);
    prepareNeedle(layer, testNeedle(), 150, {320.0f, 320.0f});

    EXPECT_EQ(layer.Bitmap().size(), QSize(21, 5));
    EXPECT_EQ(layer.BitmapCenter(), (PointF32{10.0f, 2.0f}));
    EXPECT_EQ(layer.Position(), (PointF32{320.0f, 320.0f}));
    EXPECT_EQ(layer.MasterAlpha(), 150);
    EXPECT_EQ(qAlpha(layer.Bitmap().pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(layer.Bitmap().pixel(15, 2)), 255);
    // An even size puts the pivot between pixels.
    EXPECT_EQ(needlePivot({600, 40}), (PointF32{299.5f, 19.5f}));
}

}  // namespace
}  // namespace qe::ui::test
