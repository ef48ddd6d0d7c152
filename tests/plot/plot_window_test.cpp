#include <gtest/gtest.h>

#include <QAreaSeries>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLineItem>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <chrono>

#include "clock.h"
#include "plot_window.h"
#include "recording_sink.h"
#include "time_chart_view.h"

namespace qe::ui {
namespace {

constexpr std::int64_t kMs = 1'000'000;
const chip::WallTime kWall{std::chrono::milliseconds(1'796'914'569'000)};
constexpr double kWallMs = 1'796'914'569'000.0;

class PlotWindowTest : public ::testing::Test {
protected:
    PlotWindowTest() {
        window.resize(900, 700);
        window.show();
    }

    // One readout `ms` after the first: absolute position, tacho (of 1024, at 2048 Hz),
    // AGC gain and magnet status.
    void feed(std::int64_t ms, int absolute, int tacho = 0, int agc = 8, int status = 0) {
        RegisterImage image{};
        image[33] = static_cast<std::uint16_t>(absolute);
        image[34] = static_cast<std::uint16_t>(status << 13);
        image[35] = static_cast<std::uint16_t>(tacho | agc << 12);
        chip::DerivedValues derived;
        chip::updateDerived(derived, chip::Derived::TachoRange, 0);
        stream.publish(chip::makeReadoutSample(image, derived, ms * kMs,
                                               kWall + std::chrono::milliseconds(ms)));
    }

    template <typename T>
    T* find(const char* name) {
        auto* child = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QList<QPointF> line(PlotWindow::Line which) { return window.line(which)->points(); }
    static std::vector<double> ys(const QList<QPointF>& points) {
        std::vector<double> out;
        for (const QPointF& p : points) out.push_back(p.y());
        return out;
    }

    chip::ReadoutStream stream;
    ManualClock clock;
    qe::test::RecordingSink messages;
    PlotWindow window{stream, clock, [] { return chip::RecordingSource{5, "QE42A"}; }, messages};
};

TEST_F(PlotWindowTest, ShowsWhatItIsFedWithTurnsCountedOrAsRead) {
    feed(0, 4000, 0, 8);
    feed(66, 100, 512, 15, 2);
    feed(132, 300, 1023, 0, 1);
    window.refresh();

    EXPECT_EQ(ys(line(PlotWindow::Line::Position)), (std::vector<double>{4000, 4196, 4396}));
    EXPECT_EQ(ys(line(PlotWindow::Line::Speed)), (std::vector<double>{0, 61440, 122760}));
    EXPECT_EQ(ys(line(PlotWindow::Line::Agc)), (std::vector<double>{50, 100, 0}));
    EXPECT_EQ(line(PlotWindow::Line::Position)[2].x(), kWallMs + 132);

    // Each status is a band up from one readout to the next that has another status.
    EXPECT_EQ(window.statusBand(0)->points(),
              (QList<QPointF>{{kWallMs, 0}, {kWallMs, 1}, {kWallMs + 66, 1}, {kWallMs + 66, 0}}));
    EXPECT_EQ(window.statusBand(2)->points(),
              (QList<QPointF>{
                  {kWallMs + 66, 0}, {kWallMs + 66, 1}, {kWallMs + 132, 1}, {kWallMs + 132, 0}}));
    EXPECT_TRUE(window.statusBand(3)->points().isEmpty());

    find<QCheckBox>("PlotUnwrapped")->setChecked(false);
    EXPECT_EQ(ys(line(PlotWindow::Line::Position)), (std::vector<double>{4000, 100, 300}));
    EXPECT_EQ(window.positionChart()->valueAxis()->max(), 4096);
}

// Unplugged for 10 s: no line runs across the gap in any chart, the band says "no data"
// there, and whole turns counted across it are marked uncertain.
TEST_F(PlotWindowTest, AGapIsNoData) {
    feed(0, 100, 10);
    feed(50, 300, 10);
    stream.publishFailure(100 * kMs);
    stream.publishAdapterLost();
    feed(10'100, 900, 20);
    feed(10'150, 1100, 20);
    feed(10'200, 1300, 20);
    window.refresh();

    for (auto which :
         {PlotWindow::Line::Position, PlotWindow::Line::Speed, PlotWindow::Line::Agc}) {
        const auto pieces = window.linePieces(which);
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_EQ(pieces[0]->points().size(), 1) << "the one point before the span";
        EXPECT_EQ(pieces[0]->points().back().x(), kWallMs + 50);
        EXPECT_EQ(pieces[1]->points().size(), 3);
        EXPECT_EQ(pieces[1]->points().front().x(), kWallMs + 10'100);
    }
    EXPECT_EQ(
        window.noDataBand()->points(),
        (QList<QPointF>{
            {kWallMs + 50, 0}, {kWallMs + 50, 1}, {kWallMs + 10'100, 1}, {kWallMs + 10'100, 0}}));
    EXPECT_EQ(window.statusBand(0)->points().size(), 8) << "in range on either side, not across";
    EXPECT_EQ(window.positionChart()->valueAxis()->titleText(),
              "Position (counts; turns uncertain after a gap)");
    ASSERT_EQ(window.history().points().size(), 5u);
    EXPECT_FALSE(window.history().points()[1].turnsUncertain);
    EXPECT_TRUE(window.history().points()[2].afterGap);
    EXPECT_TRUE(window.history().points()[4].turnsUncertain);
    window.setCursorTime(kWallMs + 10'150);
    EXPECT_TRUE(find<QLabel>("PlotCursor")->text().contains("position 1100 (turns uncertain)"))
        << find<QLabel>("PlotCursor")->text().toStdString();

    // A readout long after the one before is a gap too, told or not.
    feed(20'000, 1500, 20);
    window.refresh();
    EXPECT_EQ(window.linePieces(PlotWindow::Line::Position).size(), 3u);
}

double axisFromMs(TimeChartView* chart) {
    return static_cast<double>(chart->timeAxis()->min().toMSecsSinceEpoch());
}
double axisToMs(TimeChartView* chart) {
    return static_cast<double>(chart->timeAxis()->max().toMSecsSinceEpoch());
}

TEST_F(PlotWindowTest, ScrollsOverTheChosenSpanAndHoldsStillWhilePaused) {
    for (int i = 0; i <= 1000; ++i) feed(i * 100, i % 4096);  // 100 s
    window.refresh();
    EXPECT_EQ(axisToMs(window.positionChart()), kWallMs + 100'000);
    EXPECT_EQ(axisFromMs(window.positionChart()), kWallMs + 90'000);
    EXPECT_EQ(line(PlotWindow::Line::Position).size(), 102) << "the span and one point before";

    find<QComboBox>("PlotSpan")->setCurrentIndex(1);
    EXPECT_EQ(axisFromMs(window.positionChart()), kWallMs + 40'000);

    auto* pause = find<QPushButton>("PlotPause");
    pause->click();
    EXPECT_EQ(pause->text(), "Resume");
    feed(100'100, 5);
    window.refresh();
    EXPECT_EQ(axisToMs(window.positionChart()), kWallMs + 100'000) << "held";
    EXPECT_EQ(line(PlotWindow::Line::Position).last().y(), 1000 % 4096);

    pause->click();
    EXPECT_EQ(pause->text(), "Pause");
    EXPECT_EQ(axisToMs(window.positionChart()), kWallMs + 100'100);
}

TEST_F(PlotWindowTest, ZoomingInTimeOnOneChartPausesAndShowsThatTimeOnAll) {
    for (int i = 0; i <= 100; ++i) feed(i * 100, 1000 + i);
    window.refresh();
    window.positionChart()->setTimeRange(kWallMs + 2'050, kWallMs + 2'950);  // as a drag does

    EXPECT_TRUE(find<QPushButton>("PlotPause")->isChecked());
    for (TimeChartView* chart : window.findChildren<TimeChartView*>()) {
        EXPECT_EQ(axisFromMs(chart), kWallMs + 2'050);
        EXPECT_EQ(axisToMs(chart), kWallMs + 2'950);
    }
    // The lines are drawn again for that time, one point beyond each edge.
    const QList<QPointF> position = line(PlotWindow::Line::Position);
    EXPECT_EQ(position.first(), QPointF(kWallMs + 2'000, 1020));
    EXPECT_EQ(position.last(), QPointF(kWallMs + 3'000, 1030));
    EXPECT_EQ(position.size(), 11);
    // Ticks 150 ms apart are told apart by their milliseconds; back at 10 s they are not needed.
    EXPECT_EQ(window.positionChart()->timeAxis()->format(), "hh:mm:ss.zzz");
    find<QPushButton>("PlotPause")->click();
    EXPECT_EQ(window.positionChart()->timeAxis()->format(), "hh:mm:ss");
}

TEST_F(PlotWindowTest, TheCursorReadsTheNearestReadout) {
    feed(0, 4000, 0, 8);
    feed(66, 100, 512, 15, 2);
    window.refresh();
    window.setCursorTime(kWallMs + 40);
    const QString time = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(kWallMs) + 66)
                             .toString(QStringLiteral("hh:mm:ss.zzz"));
    EXPECT_EQ(find<QLabel>("PlotCursor")->text(),
              time + "    position 4196    speed 61440.0 RPM    AGC 100.0%    Magnet too far");
}

// The value axes keep their range while they can, but every point drawn is inside it.
TEST_F(PlotWindowTest, EveryPointStaysOnItsChartWhileTheValuesWander) {
    for (int i = 0; i <= 600; ++i) {
        const int step = i < 300 ? i : 600 - i;  // several turns forward, then back
        feed(i * 100, step * 150 % 4096, i % 50 < 25 ? 15 : 700);
        window.refresh();
        for (const auto& [which, chart] :
             {std::pair{PlotWindow::Line::Position, window.positionChart()},
              std::pair{PlotWindow::Line::Speed, window.speedChart()}}) {
            for (const QPointF& p : line(which)) {
                ASSERT_GE(p.y(), chart->valueAxis()->min()) << "readout " << i;
                ASSERT_LE(p.y(), chart->valueAxis()->max()) << "readout " << i;
            }
        }
    }
}

TEST_F(PlotWindowTest, TheChartsShareTheirTimeColumnsToThePixel) {
    for (int i = 0; i <= 100; ++i) feed(i * 100, 1000 + 40 * i, 100, 8, i / 30);
    window.refresh();
    QCoreApplication::processEvents();
    window.resize(1000, 800);  // the plot areas follow a resize
    QCoreApplication::processEvents();

    const QList<TimeChartView*> charts = window.findChildren<TimeChartView*>();
    ASSERT_EQ(charts.size(), 4);
    const auto leftEdge = [this](TimeChartView* chart) {
        return chart->mapTo(&window, chart->chart()->plotArea().topLeft().toPoint()).x();
    };
    for (TimeChartView* chart : charts) {
        const QRectF area = chart->chart()->plotArea();
        EXPECT_EQ(leftEdge(chart), leftEdge(charts.first()))
            << chart->valueAxis()->titleText().toStdString();
        EXPECT_EQ(area.width(), charts.first()->chart()->plotArea().width());
        EXPECT_GT(area.width(), 800);
        EXPECT_GT(area.height(), 30);
    }

    // The cursor is one line down through every chart, the magnet band's too.
    window.setCursorTime(kWallMs + 5'000);
    const auto cursorX = [this](TimeChartView* chart) {
        return chart->mapTo(&window, chart->mapFromScene(chart->cursorLine().line().p1())).x();
    };
    for (TimeChartView* chart : charts) {
        EXPECT_TRUE(chart->cursorLine().isVisible())
            << chart->valueAxis()->titleText().toStdString();
        EXPECT_EQ(cursorX(chart), cursorX(charts.first()));
    }
}

}  // namespace
}  // namespace qe::ui
