// Label corners and texts of the two dial scales, and their drawing into the dial.
#include <gtest/gtest.h>
#include <QImage>

#include <string>
#include <vector>

#include "dial_scale.h"

namespace qe::ui::test {
namespace {

struct Corner {
    int x;
    int y;
};

std::vector<Corner> cornersOf(const std::vector<DialLabel>& labels) {
    std::vector<Corner> corners;
    for (const DialLabel& label : labels) corners.push_back({label.topLeft.x(), label.topLeft.y()});
    return corners;
}

std::vector<QString> textsOf(const std::vector<DialLabel>& labels) {
    std::vector<QString> texts;
    for (const DialLabel& label : labels) texts.push_back(label.text);
    return texts;
}

void expectCorners(const std::vector<DialLabel>& labels, const std::vector<Corner>& expected) {
    const std::vector<Corner> corners = cornersOf(labels);
    ASSERT_EQ(corners.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(corners[i].x, expected[i].x) << "label " << i;
        EXPECT_EQ(corners[i].y, expected[i].y) << "label " << i;
    }
}

TEST(DialScale, PositionLabelsSitClockwiseFromTheTopOfA640Dial) {
    const auto labels = positionScaleLabels({640, 640});
    expectCorners(labels, {{300, 66},
                           {470, 136},
                           {540, 306},
                           {470, 476},
                           {300, 546},
                           {130, 476},
                           {60, 306},
                           {130, 136}});
    // Texts shorter than four characters get two spaces in front.
    EXPECT_EQ(textsOf(labels),
              (std::vector<QString>{QStringLiteral("  0°"), QStringLiteral("  45°"),
                                    QStringLiteral("  90°"), QStringLiteral("135°"),
                                    QStringLiteral("180°"), QStringLiteral("225°"),
                                    QStringLiteral("270°"), QStringLiteral("315°")}));
}

TEST(DialScale, TachoLabelsRunFromTheLowerLeftOverTheTopToTheLowerRight) {
    const auto labels = tachoScaleLabels({640, 640}, 2048.0);
    expectCorners(labels, {{92, 426},
                           {60, 306},
                           {92, 186},
                           {180, 98},
                           {300, 66},
                           {420, 98},
                           {508, 186},
                           {540, 306},
                           {508, 426}});
    EXPECT_EQ(textsOf(labels),
              (std::vector<QString>{"0 Hz", "256 Hz", "512 Hz", "768 Hz", "1024 Hz", "1280 Hz",
                                    "1536 Hz", "1792 Hz", "2048 Hz"}));
}

TEST(DialScale, TachoTextsFollowTheRange) {
    struct Case {
        double rangeHz;
        std::vector<QString> texts;
    };
    const Case cases[] = {
        // Before the settings are first read the range is 0.
        {0.0, std::vector<QString>(9, "0 Hz")},
        {16.0, {"0 Hz", "2 Hz", "4 Hz", "6 Hz", "8 Hz", "10 Hz", "12 Hz", "14 Hz", "16 Hz"}},
        // Halves go to the even neighbour: 2.5 -> 2, 7.5 -> 8, 12.5 -> 12, 17.5 -> 18.
        {20.0, {"0 Hz", "2 Hz", "5 Hz", "8 Hz", "10 Hz", "12 Hz", "15 Hz", "18 Hz", "20 Hz"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textsOf(tachoScaleLabels({640, 640}, c.rangeHz)), c.texts) << c.rangeHz << " Hz";
}

TEST(DialScale, CornersRoundHalvesToTheEvenNeighbour) {
    struct Case {
        QSize dial;
        Corner top;  // the label straight above the centre
    };
    const Case cases[] = {
        {{641, 644}, {300, 66}},  // X0 = 320.5 -> 320, Y0 = 80.5 -> 80
        {{643, 652}, {302, 68}},  // X0 = 321.5 -> 322, Y0 = 81.5 -> 82
        {{320, 320}, {140, 26}},  // X0 = 160, Y0 = 40: scales with the dial
    };
    for (const Case& c : cases) {
        const QPoint position = positionScaleLabels(c.dial)[0].topLeft;
        const QPoint tacho = tachoScaleLabels(c.dial, 16.0)[4].topLeft;
        for (const QPoint& corner : {position, tacho}) {
            EXPECT_EQ(corner.x(), c.top.x) << c.dial.width() << " x " << c.dial.height();
            EXPECT_EQ(corner.y(), c.top.y) << c.dial.width() << " x " << c.dial.height();
        }
    }
}

bool inked(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 160;
}

TEST(DialScale, DrawingWritesEachLabelAtItsCornerAndNowhereElse) {
    QImage dial(640, 640, QImage::Format_RGB32);
    dial.fill(Qt::white);
    const auto labels = positionScaleLabels(dial.size());
    drawDialLabels(dial, labels);

    // Every label's ink lies right of and below its corner, within a 14-point line.
    const QSize box(64, 26);
    for (const DialLabel& label : labels) {
        const QRect area(label.topLeft, box);
        bool any = false;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) any = any || inked(dial, x, y);
        EXPECT_TRUE(any) << label.text.toStdString();
    }
    for (int y = 0; y < dial.height(); ++y)
        for (int x = 0; x < dial.width(); ++x) {
            if (!inked(dial, x, y)) continue;
            bool inABox = false;
            for (const DialLabel& label : labels)
                inABox = inABox || QRect(label.topLeft, box).contains(x, y);
            ASSERT_TRUE(inABox) << "ink at " << x << ", " << y;
        }
}

}  // namespace
}  // namespace qe::ui::test
