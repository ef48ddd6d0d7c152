// Our own dial images, as the panel labels them: no tick, arc or caption under a label.
#include <gtest/gtest.h>
#include <QFontMetrics>
#include <QImage>
#include <QString>

#include <algorithm>
#include <vector>

#include "design_fonts.h"
#include "dial_scale.h"
#include "jpeg_image.h"

namespace qe::ui::test {
namespace {

// The face is near white; ticks, arcs and captions are dark or strongly coloured. The
// dial is JPEG, so a little ringing around the art is allowed for.
bool plainFace(QRgb pixel) {
    return std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)}) >= 200;
}

// Where the panel's text of each label lies on the dial, with a margin around it.
std::vector<QRect> labelAreas(const std::vector<DialLabel>& labels, QSize dial) {
    const QFontMetrics metrics(designFont(QStringLiteral("Tahoma"), kDialLabelPixelSize));
    constexpr int kClearance = 2;
    std::vector<QRect> areas;
    for (const DialLabel& label : labels) {
        const QRect text = metrics.boundingRect(QRect(label.topLeft, dial),
                                                Qt::AlignLeft | Qt::AlignTop, label.text);
        areas.push_back(text.adjusted(-kClearance, -kClearance, kClearance, kClearance));
    }
    return areas;
}

TEST(DialArt, LabelsOfEveryScaleStayClearOfTheDialsArt) {
    struct Case {
        const char* file;
        double tachoRangeHz;  // 0: the position scale
    };
    // Every tacho range the chip offers, so the widest texts ("1792 Hz") are among them.
    const Case cases[] = {{"bckg_pos.jpg", 0},   {"bckg_tah.jpg", 16},   {"bckg_tah.jpg", 32},
                          {"bckg_tah.jpg", 64},  {"bckg_tah.jpg", 128},  {"bckg_tah.jpg", 256},
                          {"bckg_tah.jpg", 512}, {"bckg_tah.jpg", 1024}, {"bckg_tah.jpg", 2048}};
    for (const Case& c : cases) {
        const QString path = QStringLiteral(QE7204_ASSETS_DIR "/") + QString::fromLatin1(c.file);
        const JpegImage dial = decodeJpegFile(path);
        ASSERT_TRUE(dial.ok()) << path.toStdString();
        const QImage& image = dial.image;
        const auto labels = c.tachoRangeHz > 0 ? tachoScaleLabels(image.size(), c.tachoRangeHz)
                                               : positionScaleLabels(image.size());
        const auto areas = labelAreas(labels, image.size());
        for (std::size_t i = 0; i < labels.size(); ++i) {
            const QRect area = areas[i].intersected(image.rect());
            int marked = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    marked += plainFace(image.pixel(x, y)) ? 0 : 1;
            EXPECT_EQ(marked, 0) << c.file << " " << labels[i].text.toStdString()
                                 << ": art under the label";
        }
    }
}

}  // namespace
}  // namespace qe::ui::test
