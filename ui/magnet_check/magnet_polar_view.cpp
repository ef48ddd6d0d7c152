#include "magnet_polar_view.h"

#include <QChartView>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QPen>
#include <QPolarChart>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace qe::ui {

namespace {

constexpr int kAgcLevels = 16;
constexpr qreal kMarkerSize = 5.0;
constexpr int kRingSteps = 72;
const chip::MagnetLimits kLimits;
// The scale stays put: a good magnet draws a thin ring on the middle circle, a bad one
// crosses the outer rings, whatever the size of its errors.
const double kErrorRangeDeg = kLimits.marginalErrorDeg + kLimits.goodErrorDeg;

QValueAxis* angleAxis() {
    auto* axis = new QValueAxis;
    axis->setRange(0, 360);
    axis->setTickCount(9);                         // every 45 degrees
    axis->setLabelFormat(QStringLiteral("%.0f"));  // degrees; the format takes no degree sign
    return axis;
}

// One chart with one series of points on an angle and a radius axis; the chart view owns
// both.
QScatterSeries* addChart(QHBoxLayout* layout, const QString& title, QColor colour,
                         QValueAxis* radius, QPolarChart* chart = new QPolarChart) {
    chart->setTitle(title);
    chart->legend()->hide();
    auto* series = new QScatterSeries;
    series->setName(title);
    series->setMarkerSize(kMarkerSize);
    series->setColor(colour);
    series->setBorderColor(colour);
    chart->addSeries(series);
    chart->addAxis(angleAxis(), QPolarChart::PolarOrientationAngular);
    chart->addAxis(radius, QPolarChart::PolarOrientationRadial);
    for (QAbstractAxis* axis : chart->axes()) series->attachAxis(axis);
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(300, 300);
    layout->addWidget(view);
    return series;
}

// A circle at a constant error: the verdict's thresholds either way, and no error at all.
void addRing(QPolarChart* chart, double radius, QColor colour, Qt::PenStyle style) {
    auto* ring = new QLineSeries;
    for (int i = 0; i <= kRingSteps; ++i) ring->append(360.0 * i / kRingSteps, radius);
    ring->setPen(QPen(colour, 1.5, style));
    chart->addSeries(ring);
    for (QAbstractAxis* axis : chart->axes()) ring->attachAxis(axis);
}

}  // namespace

QList<double> MagnetPolarView::ringRadii() {
    return {-kLimits.marginalErrorDeg, -kLimits.goodErrorDeg, 0.0, kLimits.goodErrorDeg,
            kLimits.marginalErrorDeg};
}

double MagnetPolarView::errorRange() {
    return kErrorRangeDeg;
}

MagnetPolarView::MagnetPolarView(QWidget* parent) : QWidget(parent), errorRadius_(new QValueAxis) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* agcRadius = new QValueAxis;
    agcRadius->setRange(0, kAgcLevels);
    agcRadius->setTickCount(5);
    agcRadius->setLabelFormat(QStringLiteral("%.0f"));
    agc_ = addChart(layout, tr("AGC level"), QColor(0, 110, 200), agcRadius);
    errorRadius_->setLabelFormat(QStringLiteral("%.1f"));
    errorRadius_->setRange(-kErrorRangeDeg, kErrorRangeDeg);
    errorRadius_->setTickType(QValueAxis::TicksDynamic);
    errorRadius_->setTickAnchor(0.0);
    errorRadius_->setTickInterval(kLimits.goodErrorDeg);
    auto* errorChart = new QPolarChart;
    error_ = addChart(layout, tr("Position error in degrees"), QColor(0, 0, 0), errorRadius_,
                      errorChart);
    // Okabe-Ito colours: told apart with any colour vision.
    const QColor good(0, 158, 115);
    const QColor marginal(230, 159, 0);
    for (double radius : ringRadii())
        addRing(errorChart, radius,
                radius == 0.0                              ? QColor(0, 114, 178)
                : std::abs(radius) == kLimits.goodErrorDeg ? good
                                                           : marginal,
                radius == 0.0 ? Qt::SolidLine : Qt::DashLine);
    clear();
}

void MagnetPolarView::showPoints(const std::vector<chip::MagnetPoint>& points) {
    QList<QPointF> agc;
    QList<QPointF> error;
    for (const auto& p : points) {
        agc.append({p.angleDeg, static_cast<qreal>(p.agcLevel)});
        // Beyond the scale on its edge, where it still says "far off".
        error.append({p.angleDeg, std::clamp(chip::countsToDegrees(p.errorCounts), -kErrorRangeDeg,
                                             kErrorRangeDeg)});
    }
    agc_->replace(agc);
    error_->replace(error);
}

void MagnetPolarView::clear() {
    agc_->clear();
    error_->clear();
}

}  // namespace qe::ui
