#include "magnet_polar_view.h"

#include <QChartView>
#include <QHBoxLayout>
#include <QPolarChart>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace qe::ui {

namespace {

constexpr int kAgcLevels = 16;
constexpr qreal kMarkerSize = 5.0;
constexpr double kSmallestErrorRange = 1.0;  // counts either way, so a perfect magnet is a ring

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
                         QValueAxis* radius) {
    auto* chart = new QPolarChart;
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

}  // namespace

MagnetPolarView::MagnetPolarView(QWidget* parent) : QWidget(parent), errorRadius_(new QValueAxis) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* agcRadius = new QValueAxis;
    agcRadius->setRange(0, kAgcLevels);
    agcRadius->setTickCount(5);
    agcRadius->setLabelFormat(QStringLiteral("%.0f"));
    agc_ = addChart(layout, tr("AGC level"), QColor(0, 110, 200), agcRadius);
    errorRadius_->setLabelFormat(QStringLiteral("%.0f"));
    error_ = addChart(layout, tr("Position error in counts"), QColor(200, 40, 40), errorRadius_);
    clear();
}

void MagnetPolarView::showPoints(const std::vector<chip::MagnetPoint>& points) {
    QList<QPointF> agc;
    QList<QPointF> error;
    double largest = kSmallestErrorRange;
    for (const auto& p : points) {
        agc.append({p.angleDeg, static_cast<qreal>(p.agcLevel)});
        error.append({p.angleDeg, p.errorCounts});
        largest = std::max(largest, std::abs(p.errorCounts));
    }
    const double range = std::ceil(largest);
    errorRadius_->setRange(-range, range);
    agc_->replace(agc);
    error_->replace(error);
}

void MagnetPolarView::clear() {
    agc_->clear();
    error_->clear();
    errorRadius_->setRange(-kSmallestErrorRange, kSmallestErrorRange);
}

}  // namespace qe::ui
