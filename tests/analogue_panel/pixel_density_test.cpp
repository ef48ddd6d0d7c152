// The analogue panel on a screen of twice the pixel density (run with QT_SCALE_FACTOR=2):
// what is drawn over the dial and the needle are drawn at the screen's own pixels, not
// drawn at the dial's and then scaled up.
#include <gtest/gtest.h>
#include <QColor>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "dial_scale.h"
#include "image_view.h"
#include "needle_bitmap.h"
#include "panel_fixture.h"
#include "panel_test_images.h"
#include "rot_layer.h"

namespace qe::ui::test {
namespace {

constexpr qreal kRatio = 2.0;

QImage shown(ImageView& view) {
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A view showing a white bitmap at its own size (scale 1), on the doubled screen.
class DensityTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(40, 20);
        ASSERT_EQ(view.devicePixelRatioF(), kRatio) << "run with QT_SCALE_FACTOR=2";
    }
    ImageView view;
};

TEST_F(DensityTest, WhatIsDrawnOverTheBitmapIsDrawnAgainAtTheScreensPixels) {
    QImage bare(40, 20, QImage::Format_RGB32);
    bare.fill(Qt::white);
    // Half a bitmap pixel wide: one screen pixel, where the bitmap can only hold a grey one.
    const auto draw = [](QPainter& painter) {
        painter.fillRect(QRectF(10.0, 0.0, 0.5, 20.0), Qt::black);
    };
    QImage drawn = bare;
    {
        QPainter painter(&drawn);
        draw(painter);
    }

    // Given without its drawing, the bitmap is only scaled: the line stays a blur.
    view.setBitmap(drawn);
    QImage screen = shown(view);
    ASSERT_EQ(screen.size(), QSize(80, 40));
    EXPECT_NE(screen.pixel(20, 10), qRgb(0, 0, 0));

    view.setBitmap(drawn, {bare, draw});
    screen = shown(view);
    for (int y = 0; y < screen.height(); ++y) {
        EXPECT_EQ(screen.pixel(19, y), qRgb(255, 255, 255)) << y;
        EXPECT_EQ(screen.pixel(20, y), qRgb(0, 0, 0)) << y;
        EXPECT_EQ(screen.pixel(21, y), qRgb(255, 255, 255)) << y;
    }
    EXPECT_EQ(view.bitmap(), drawn) << "the view's bitmap is the drawn one";
}

TEST_F(DensityTest, TheNeedlesEdgesAreSharpAtTheScreensPixels) {
    QImage white(40, 20, QImage::Format_RGB32);
    white.fill(Qt::white);
    view.setBitmap(white);
    RotLayer& needle = view.addLayer<RotLayer>();
    // The red row of the test needle, (10..19, 2), lands on view rows 10..11, columns 10..20.
    needle.setBitmap(needleBitmapFrom(testNeedle()));
    needle.setBitmapCenter({10.0f, 2.0f});
    needle.setPosition({10.0f, 10.0f});
    needle.setScaled(true);

    const QImage screen = shown(view);
    const QRgb red = qRgb(200, 0, 0);
    const QRgb paper = qRgb(255, 255, 255);
    // Across the needle and along it: every screen pixel is the needle's or the paper's,
    // none a blend that scaling a bitmap pixel up would leave at its edges.
    for (int y = 16; y < 26; ++y)
        EXPECT_EQ(screen.pixel(30, y), y == 20 || y == 21 ? red : paper) << "row " << y;
    for (int x = 14; x < 46; ++x)
        EXPECT_EQ(screen.pixel(x, 20), x >= 20 && x < 40 ? red : paper) << "column " << x;
}

class PanelDensityTest : public PanelTest {};

// The real dial's labels: on the doubled screen the ink meets the paper within one screen
// pixel somewhere in each label, as text drawn at the screen's pixels does; the labelled
// dial scaled up to the screen spreads every edge over two.
TEST_F(PanelDensityTest, TheDialsLabelsAreDrawnAtTheScreensPixels) {
    startPanel();
    ImageView& view = panel->imgView();
    view.resize(640, 640);  // the test dial at its own size: scale 1
    ASSERT_EQ(view.devicePixelRatioF(), kRatio);
    const QImage screen = shown(view);
    const QImage scaledUp =
        dial()
            .scaled(dial().size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);

    const auto steepestStep = [](const QImage& image, QRect area) {
        int steepest = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x < area.right(); ++x)
                steepest = std::max(
                    steepest, std::abs(qGray(image.pixel(x, y)) - qGray(image.pixel(x + 1, y))));
        return steepest;
    };
    const int contrast = qGray(qRgb(255, 255, 255)) - qGray(qRgb(40, 44, 52));
    for (const DialLabel& label : positionScaleLabels(dial().size())) {
        const QRect area(label.topLeft * 2, QSize(2 * 60, 2 * kDialLabelPixelSize));
        const std::string text = label.text.toStdString();
        EXPECT_GT(steepestStep(screen, area), contrast * 3 / 4) << text;
        EXPECT_LT(steepestStep(scaledUp, area), contrast * 3 / 4) << text << " (the yardstick)";
    }
}

}  // namespace
}  // namespace qe::ui::test
