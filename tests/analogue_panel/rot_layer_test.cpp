// The needle layer's transformation, hit test and repaints, and the view's image mapping.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <functional>

#include "image_view.h"
#include "needle_bitmap.h"
#include "panel_test_images.h"
#include "rot_layer.h"

namespace qe::ui::test {
namespace {

constexpr double kTolerance = 1e-4;

void expectPoint(QPointF actual, QPointF expected, const std::string& what) {
    EXPECT_NEAR(actual.x(), expected.x(), kTolerance) << what;
    EXPECT_NEAR(actual.y(), expected.y(), kTolerance) << what;
}

// The test needle: 21 x 5, pointing right from its pivot (10, 2).
void giveTestNeedle(RotLayer& layer, PointF32 position) {
    layer.setBitmap(needleBitmapFrom(testNeedle()));
    layer.setBitmapCenter({10.0f, 2.0f});
    layer.setPosition(position);
}

// A 300 x 200 view of a white 100 x 50 dial (scale 3, shifted by (0, 25)).
void giveWhiteDial(ImageView& view) {
    view.resize(300, 200);
    QImage dial(100, 50, QImage::Format_RGB32);
    dial.fill(Qt::white);
    view.setBitmap(dial);
}

// The test needle on the view's dial at (50, 25), scaled with the view.
template <typename Layer = RotLayer>
Layer& addScaledTestNeedle(ImageView& view) {
    auto& needle = view.addLayer<Layer>();
    giveTestNeedle(needle, {50.0f, 25.0f});
    needle.setScaled(true);
    return needle;
}

TEST(RotLayer, RotatesAboutThePivotCounterClockwiseAsSeen) {
    struct Case {
        float angle;
        QPointF tip;  // where the bitmap's pixel (20, 2) goes
    };
    const Case cases[] = {
        {0.0f, {110.0, 100.0}},    // right
        {90.0f, {100.0, 90.0}},    // above the pivot
        {-90.0f, {100.0, 110.0}},  // below it
        {180.0f, {90.0, 100.0}},   // left
    };
    RotLayer layer(nullptr);
    giveTestNeedle(layer, {100.0f, 100.0f});
    for (const Case& c : cases) {
        layer.setAngle(c.angle);
        layer.PrepareTransformation();
        const std::string what = "angle " + std::to_string(c.angle);
        expectPoint(layer.Transformation().map(QPointF(10.0, 2.0)), {100.0, 100.0},
                    what + ", pivot");
        expectPoint(layer.Transformation().map(QPointF(20.0, 2.0)), c.tip, what + ", tip");
    }
}

TEST(RotLayer, ScaledFollowsTheViewsMappingOnlyWhenInAView) {
    ImageView view;
    giveWhiteDial(view);
    // The image fits at scale 3, centred vertically: shifted by (0, 25).
    EXPECT_DOUBLE_EQ(view.scale(), 3.0);
    expectPoint(view.shift(), {0.0, 25.0}, "shift");

    RotLayer& inView = view.addLayer<RotLayer>();
    RotLayer alone(nullptr);
    for (RotLayer* layer : {&inView, &alone}) {
        giveTestNeedle(*layer, {40.0f, 20.0f});
        layer->setAngle(90.0f);
    }

    const struct {
        RotLayer* layer;
        bool scaled;
        QPointF pivot;
        QPointF tip;
    } cases[] = {
        {&inView, false, {40.0, 20.0}, {40.0, 10.0}},
        {&inView, true, {120.0, 85.0}, {120.0, 55.0}},
        {&alone, true, {40.0, 20.0}, {40.0, 10.0}},
    };
    for (const auto& c : cases) {
        c.layer->setScaled(c.scaled);
        c.layer->PrepareTransformation();
        const std::string what =
            std::string(c.layer == &alone ? "alone" : "in view") + (c.scaled ? ", scaled" : "");
        expectPoint(c.layer->Transformation().map(QPointF(10.0, 2.0)), c.pivot, what);
        expectPoint(c.layer->Transformation().map(QPointF(20.0, 2.0)), c.tip, what);
    }
}

TEST(ImageView, FitsTheImageCentredWithItsAspectKept) {
    struct Case {
        QSize view;
        QSize image;
        double scale;
        QPointF shift;
    };
    const Case cases[] = {
        {{650, 654}, {640, 640}, 650.0 / 640.0, {0.0, 2.0}},
        {{800, 600}, {640, 640}, 600.0 / 640.0, {100.0, 0.0}},
        {{320, 320}, {640, 640}, 0.5, {0.0, 0.0}},
        {{100, 100}, {0, 0}, 1.0, {0.0, 0.0}},  // no image: the identity
    };
    for (const Case& c : cases) {
        ImageView view;
        view.resize(c.view);
        QImage image(c.image, QImage::Format_RGB32);
        image.fill(Qt::white);
        view.setBitmap(image);
        EXPECT_DOUBLE_EQ(view.scale(), c.scale) << c.view.width() << " x " << c.view.height();
        expectPoint(view.shift(), c.shift,
                    std::to_string(c.view.width()) + " x " + std::to_string(c.view.height()));
    }
}

TEST(ImageView, PaintsTheImageCentredOverTheWorkspaceColourAndLayersOnTop) {
    ImageView view;
    view.resize(80, 40);
    QImage dial(20, 20, QImage::Format_RGB32);
    dial.fill(QColor(0, 0, 255));
    view.setBitmap(dial);
    RotLayer& needle = view.addLayer<RotLayer>();
    giveTestNeedle(needle, {10.0f, 10.0f});
    needle.setScaled(true);

    const QImage shown = view.grab().toImage();
    const QRgb workspace = view.palette().color(QPalette::Dark).rgb();
    EXPECT_EQ(shown.pixel(5, 20), workspace);   // left of the image
    EXPECT_EQ(shown.pixel(75, 20), workspace);  // right of it
    EXPECT_EQ(shown.pixel(30, 5), qRgb(0, 0, 255));
    // The needle runs right from the image's centre (40, 20), drawn at scale 2.
    const QColor onNeedle = shown.pixelColor(50, 21);
    EXPECT_GT(onNeedle.red(), 100);
    EXPECT_GT(onNeedle.red(), onNeedle.blue());
}

TEST(RotLayer, DrawsTheNeedleAtItsOpacityWithItsWhiteLeftOut) {
    const QColor below(0, 0, 255);
    for (const int alpha : {150, 190}) {
        QImage canvas(200, 200, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(below);
        RotLayer layer(nullptr);
        prepareNeedle(layer, testNeedle(), alpha, {100.0f, 100.0f});
        {
            QPainter painter(&canvas);
            layer.Paint(painter);
        }
        // The needle's pixel (15, 2), red 200, lands on (105, 100) blended over the blue.
        const double share = alpha / 255.0;
        const QColor onNeedle = canvas.pixelColor(105, 100);
        EXPECT_NEAR(onNeedle.red(), 200.0 * share, 2.0) << alpha;
        EXPECT_NEAR(onNeedle.green(), 0.0, 2.0) << alpha;
        EXPECT_NEAR(onNeedle.blue(), 255.0 * (1.0 - share), 2.0) << alpha;
        // Its white background, (5, 1), and its border, (0, 0), leave what lies below.
        EXPECT_EQ(canvas.pixelColor(95, 99), below) << alpha;
        EXPECT_EQ(canvas.pixelColor(90, 98), below) << alpha;
    }
}

TEST(RotLayer, BoundsAndCoverageHoldEveryPixelItDraws) {
    ImageView view;
    view.resize(300, 200);
    QImage dial(100, 50, QImage::Format_RGB32);
    view.setBitmap(dial);
    RotLayer& needle = view.addLayer<RotLayer>();
    QImage opaque(21, 5, QImage::Format_ARGB32_Premultiplied);
    opaque.fill(Qt::red);
    needle.setBitmap(opaque);
    needle.setBitmapCenter({10.0f, 2.0f});
    needle.setPosition({40.0f, 20.0f});
    needle.setScaled(true);
    for (const float angle : {0.0f, 17.0f, 90.0f, 135.5f, -60.0f}) {
        needle.setAngle(angle);
        QImage canvas(view.size(), QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        {
            QPainter painter(&canvas);
            needle.Paint(painter);
        }
        const QRect bounds = needle.bounds();
        const QRegion coverage = needle.coverage();
        int drawn = 0;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                if (qAlpha(canvas.pixel(x, y)) != 0) {
                    ++drawn;
                    EXPECT_TRUE(bounds.contains(x, y))
                        << "angle " << angle << " at " << x << ", " << y;
                    EXPECT_TRUE(coverage.contains(QPoint(x, y)))
                        << "angle " << angle << " at " << x << ", " << y;
                }
        EXPECT_GT(drawn, 21 * 5) << "angle " << angle;
    }
}

// A repaint covers only the part of the bitmap with something in it, yet every pixel the
// layer changes, at every angle, opacity and pixel density.
TEST(RotLayer, CoverageLeavesOutTheBitmapsEmptyPartButHoldsEveryPixelItChanges) {
    // As the needle file: a transparent half on the pivot's side, the needle on the other.
    QImage needle(120, 16, QImage::Format_ARGB32_Premultiplied);
    needle.fill(Qt::transparent);
    for (int x = 62; x < 117; ++x)
        for (int y = 4 + (x - 62) / 14; y < 12 - (x - 62) / 14; ++y)
            needle.setPixel(x, y, qPremultiply(qRgba(200 - x, x, 90, 255 - (x * y) % 60)));
    const QColor below(30, 60, 250);
    for (const int blockSize : {1, 2}) {
        for (const int alpha : {150, 255}) {
            for (double angle = -3.3; angle < 360.0; angle += 7.7) {
                SCOPED_TRACE(testing::Message() << "angle " << angle << ", alpha " << alpha
                                                << ", blocks " << blockSize);
                RotLayer layer(nullptr);
                layer.setBitmap(needle);
                layer.setBitmapCenter(needlePivot(needle.size()));
                layer.setPosition({100.25f, 99.5f});
                layer.setMasterAlpha(alpha);
                layer.setAngle(static_cast<float>(angle));
                QImage canvas(200 * blockSize, 200 * blockSize,
                              QImage::Format_ARGB32_Premultiplied);
                canvas.setDevicePixelRatio(blockSize);
                canvas.fill(below);
                {
                    QPainter painter(&canvas);
                    layer.Paint(painter);
                }
                const QRegion coverage = layer.coverage();
                for (int y = 0; y < canvas.height(); ++y) {
                    for (int x = 0; x < canvas.width(); ++x) {
                        if (canvas.pixelColor(x, y) == below) continue;
                        ASSERT_TRUE(coverage.contains(QPoint(x / blockSize, y / blockSize)))
                            << x << ", " << y;
                    }
                }
                // The empty half, from the pivot back, is not repainted.
                for (const QPointF empty : {QPointF(3, 8), QPointF(30, 3)})
                    EXPECT_FALSE(coverage.contains(layer.Transformation().map(empty).toPoint()))
                        << empty.x() << ", " << empty.y();
            }
        }
    }
}

TEST(RotLayer, HitTestFollowsTheBitmapAndAlphaHit) {
    RotLayer layer(nullptr);
    EXPECT_FALSE(layer.HitTest({0.0, 0.0})) << "an empty bitmap is never hit";

    giveTestNeedle(layer, {100.0f, 100.0f});
    struct Case {
        bool alphaHit;
        QPointF point;
        bool hit;
    };
    const Case cases[] = {
        {false, {105.5, 100.5}, true},  // on the needle
        {true, {105.5, 100.5}, true},
        {false, {95.5, 98.5}, true},  // transparent, inside the bitmap
        {true, {95.5, 98.5}, false},
        {false, {111.5, 100.5}, false},  // beyond the bitmap's right edge
        {false, {90.5, 100.5}, true},    // its first column
        {false, {89.5, 100.5}, false},
    };
    for (const Case& c : cases) {
        layer.setAlphaHit(c.alphaHit);
        EXPECT_EQ(layer.HitTest(c.point), c.hit)
            << c.point.x() << ", " << c.point.y() << (c.alphaHit ? " with" : " without")
            << " AlphaHit";
    }
    // The hit test uses the current angle, without waiting for a paint.
    layer.setAlphaHit(true);
    layer.setAngle(90.0f);
    EXPECT_TRUE(layer.HitTest({100.5, 95.5}));
    EXPECT_FALSE(layer.HitTest({105.5, 100.5}));
}

TEST(RotLayer, PropertyWritesRepaintTheViewOnlyWhileTheLayerIsVisible) {
    ImageView view;
    RotLayer& layer = view.addLayer<RotLayer>();
    int repaints = 0;
    QObject::connect(&view, &ImageView::changed, [&repaints] { ++repaints; });

    const struct {
        const char* property;
        std::function<void()> write;
        int whenVisible;
    } writes[] = {
        {"Angle", [&] { layer.setAngle(12.5f); }, 1},
        {"Position",
         [&] {
             layer.setPosition({3.0f, 4.0f});
         },
         1},
        {"BitmapCenter",
         [&] {
             layer.setBitmapCenter({1.0f, 2.0f});
         },
         1},
        {"Scaled", [&] { layer.setScaled(true); }, 1},
        {"AlphaHit", [&] { layer.setAlphaHit(true); }, 0},
    };
    for (bool visible : {true, false}) {
        layer.setVisible(visible);
        for (const auto& w : writes) {
            repaints = 0;
            w.write();
            EXPECT_EQ(repaints, visible ? w.whenVisible : 0)
                << w.property << (visible ? " visible" : " hidden");
        }
    }
    repaints = 0;
    layer.setVisible(true);
    EXPECT_EQ(repaints, 1) << "showing the layer";
}

TEST(RotLayer, WritingTheValueAPropertyHasRepaintsNothing) {
    ImageView view;
    RotLayer& layer = view.addLayer<RotLayer>();
    layer.setAngle(12.5f);
    layer.setPosition({3.0f, 4.0f});
    layer.setBitmapCenter({1.0f, 2.0f});
    layer.setScaled(true);
    layer.setMasterAlpha(190);
    int repaints = 0;
    QObject::connect(&view, &ImageView::changed, [&repaints] { ++repaints; });

    const struct {
        const char* property;
        std::function<void()> write;
    } sameAgain[] = {
        {"Angle", [&] { layer.setAngle(12.5f); }},
        {"Position",
         [&] {
             layer.setPosition({3.0f, 4.0f});
         }},
        {"BitmapCenter",
         [&] {
             layer.setBitmapCenter({1.0f, 2.0f});
         }},
        {"Scaled", [&] { layer.setScaled(true); }},
        {"MasterAlpha", [&] { layer.setMasterAlpha(190); }},
    };
    for (const auto& w : sameAgain) {
        repaints = 0;
        w.write();
        EXPECT_EQ(repaints, 0) << w.property;
    }

    // An opacity beyond the range is held at its end, which is then the value it has.
    layer.setMasterAlpha(255);
    repaints = 0;
    layer.setMasterAlpha(300);
    EXPECT_EQ(repaints, 0) << "MasterAlpha held at 255";
    EXPECT_EQ(layer.MasterAlpha(), 255);
}

TEST(ImageView, ShowsTheCurrentImageSizeAndColoursAfterEarlierPaints) {
    ImageView view;
    view.resize(80, 40);
    QImage blue(20, 20, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    view.setBitmap(blue);
    QImage red(20, 20, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    struct Pixel {
        QPoint at;
        QRgb colour;
    };
    struct Step {
        const char* what;
        std::function<void()> change;
        std::vector<Pixel> expected;
    };
    const QRgb workspace = view.palette().color(QPalette::Dark).rgb();
    const Step steps[] = {
        {"first paint", [] {}, {{{40, 20}, qRgb(0, 0, 255)}, {{5, 20}, workspace}}},
        {"another image",
         [&] { view.setBitmap(red); },
         {{{40, 20}, qRgb(255, 0, 0)}, {{5, 20}, workspace}}},
        {"another size",
         [&] { view.resize(40, 80); },
         {{{20, 25}, qRgb(255, 0, 0)}, {{20, 15}, workspace}}},
        {"another workspace colour",
         [&] {
             QPalette palette = view.palette();
             palette.setColor(QPalette::Dark, QColor(0, 128, 0));
             view.setPalette(palette);
         },
         {{{20, 15}, qRgb(0, 128, 0)}, {{20, 25}, qRgb(255, 0, 0)}}},
    };
    for (const Step& step : steps) {
        step.change();
        const QImage shown = view.grab().toImage();
        for (const Pixel& p : step.expected)
            EXPECT_EQ(shown.pixel(p.at), p.colour)
                << step.what << " at " << p.at.x() << ", " << p.at.y();
    }
}

// Gathers the regions the view paints.
class PaintRecorder : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    QRegion painted;
};

// Lets the event loop run until the view has painted something, for a bounded number of rounds.
void paintPending(const PaintRecorder& recorder) {
    for (int round = 0; round < 100 && recorder.painted.isEmpty(); ++round)
        QCoreApplication::processEvents();
}

// The closed panel's needles turn with every readout: its view works out no outline then,
// and shows the needle where it is once it is shown again.
TEST(ImageView, AViewNotShownWorksOutNoOutlineAndShowsTheNeedleWhereItIsWhenShown) {
    struct CountingLayer : RotLayer {
        using RotLayer::RotLayer;
        QRegion coverage() override {
            ++outlines;
            return RotLayer::coverage();
        }
        int outlines = 0;
    };
    ImageView view;
    giveWhiteDial(view);
    auto& needle = addScaledTestNeedle<CountingLayer>(view);
    view.show();
    QCoreApplication::processEvents();
    view.hide();
    needle.outlines = 0;
    for (float angle = 0.0f; angle < 90.0f; angle += 10.0f) needle.setAngle(angle);
    EXPECT_EQ(needle.outlines, 0);

    view.show();
    QCoreApplication::processEvents();
    const auto rgb = [](const QImage& image) {
        return image.convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_EQ(rgb(view.screen()->grabWindow(view.winId()).toImage()), rgb(view.grab().toImage()))
        << "on the screen as a whole repaint draws it";
    needle.setAngle(120.0f);
    EXPECT_GT(needle.outlines, 0) << "shown, it repaints where the needle was and is";
}

TEST(ImageView, AChangedLayerRepaintsOnlyWhereItWasAndWhereItIsNow) {
    ImageView view;
    giveWhiteDial(view);
    RotLayer& needle = addScaledTestNeedle(view);
    PaintRecorder recorder;
    view.installEventFilter(&recorder);
    view.show();
    paintPending(recorder);
    ASSERT_EQ(recorder.painted, QRegion(view.rect())) << "the first paint covers the whole view";

    const struct {
        const char* what;
        std::function<void()> change;
    } changes[] = {
        {"turned", [&] { needle.setAngle(90.0f); }},
        {"turned back a little", [&] { needle.setAngle(80.0f); }},
        {"moved",
         [&] {
             needle.setPosition({20.0f, 10.0f});
         }},
        {"hidden", [&] { needle.setVisible(false); }},
        {"turned while hidden", [&] { needle.setAngle(0.0f); }},
        {"shown", [&] { needle.setVisible(true); }},
    };
    for (const auto& c : changes) {
        const QRegion before = needle.isVisible() ? needle.coverage() : QRegion();
        recorder.painted = QRegion();
        c.change();
        paintPending(recorder);
        const QRegion after = needle.isVisible() ? needle.coverage() : QRegion();
        EXPECT_EQ(recorder.painted, before.united(after)) << c.what;
        EXPECT_NE(recorder.painted, QRegion(view.rect())) << c.what;
    }
}

TEST(ImageView, TheTopmostVisibleLayerUnderTheMouseIsReported) {
    ImageView view;
    view.resize(200, 200);
    RotLayer& below = view.addLayer<RotLayer>();
    RotLayer& above = view.addLayer<RotLayer>();
    giveTestNeedle(below, {100.0f, 100.0f});
    giveTestNeedle(above, {100.0f, 100.0f});
    ASSERT_EQ(view.layers().size(), 2u);
    EXPECT_EQ(view.layers()[0].get(), &below);

    EXPECT_EQ(view.layerAt({105.5, 100.5}), &above);
    above.setVisible(false);
    EXPECT_EQ(view.layerAt({105.5, 100.5}), &below);
    EXPECT_EQ(view.layerAt({5.5, 5.5}), nullptr);
}

}  // namespace
}  // namespace qe::ui::test
