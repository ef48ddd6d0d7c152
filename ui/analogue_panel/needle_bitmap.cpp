#include "needle_bitmap.h"

#include "rot_layer.h"

namespace qe::ui {

namespace {

constexpr QRgb kOpaqueWhite = 0xFFFFFFFFu;
constexpr QRgb kColourBits = 0x00FFFFFFu;

}  // namespace

QImage needleBitmapFrom(const QImage& loaded) {
    if (loaded.isNull()) return {};
    QImage needle = loaded.convertToFormat(QImage::Format_ARGB32);
    const int w = needle.width();
    const int h = needle.height();
    for (int x = 0; x < w; ++x) {
        needle.setPixel(x, 0, kOpaqueWhite);
        needle.setPixel(x, h - 1, kOpaqueWhite);
    }
    for (int y = 0; y < h; ++y) {
        needle.setPixel(0, y, kOpaqueWhite);
        needle.setPixel(w - 1, y, kOpaqueWhite);
    }
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(needle.scanLine(y));
        for (int x = 0; x < w; ++x)
            if ((line[x] & kColourBits) == kColourBits) line[x] &= kColourBits;
    }
    return needle.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

PointF32 needlePivot(QSize size) {
    return {(size.width() - 1) / 2.0f, (size.height() - 1) / 2.0f};
}

void prepareNeedle(RotLayer& layer, const QImage& loaded, int masterAlpha, PointF32 position) {
    const QImage needle = needleBitmapFrom(loaded);
    layer.setBitmapCenter(needlePivot(needle.size()));
    layer.setPosition(position);
    layer.setMasterAlpha(masterAlpha);
    layer.setBitmap(needle);
}

}  // namespace qe::ui
