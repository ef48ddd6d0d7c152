#include "time_chart_view.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QLegend>
#include <QMouseEvent>
#include <QPen>
#include <QResizeEvent>
#include <QValueAxis>
#include <QWheelEvent>
#include <cmath>

namespace qe::ui {

namespace {

constexpr double kWheelStep = 1.25;  // one notch shows 1.25 times less (or more) time
constexpr double kMinimumSpanMs = 200.0;
constexpr double kMillisecondLabelsBelowMs = 6000.0;
constexpr int kMargin = 2;

QDateTime dateTimeOf(double ms) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(ms)));
}

}  // namespace

TimeChartView::TimeChartView(const QString& valueTitle, QWidget* parent)
    : QChartView(new QChart, parent), timeAxis_(new QDateTimeAxis), valueAxis_(new QValueAxis) {
    QChart* c = chart();
    c->legend()->hide();
    c->setMargins(QMargins(kMargin, kMargin, kMargin, kMargin));
    c->layout()->setContentsMargins(0, 0, 0, 0);
    c->setBackgroundRoundness(0);
    timeAxis_->setFormat(QStringLiteral("hh:mm:ss"));
    timeAxis_->setTickCount(6);  // 2 s, 12 s or 2 min apart over the three spans
    valueAxis_->setTitleText(valueTitle);
    valueAxis_->setLabelFormat(QStringLiteral("%.0f"));
    c->addAxis(timeAxis_, Qt::AlignBottom);
    c->addAxis(valueAxis_, Qt::AlignLeft);

    setRubberBand(QChartView::HorizontalRubberBand);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setRenderHint(QPainter::Antialiasing, false);

    cursorLine_ = new QGraphicsLineItem;
    cursorLine_->setPen(QPen(QColor(90, 90, 90), 1, Qt::DashLine));
    cursorLine_->setZValue(1000);
    cursorLine_->hide();
    scene()->addItem(cursorLine_);
}

void TimeChartView::addSeries(QAbstractSeries* series) {
    chart()->addSeries(series);
    series->attachAxis(timeAxis_);
    series->attachAxis(valueAxis_);
    if (!anchor_) anchor_ = series;
}

void TimeChartView::setTimeRange(double fromMs, double toMs) {
    // Zoomed in to a few seconds, ticks less than a second apart would all read the same.
    const QString format = toMs - fromMs < kMillisecondLabelsBelowMs
                               ? QStringLiteral("hh:mm:ss.zzz")
                               : QStringLiteral("hh:mm:ss");
    if (timeAxis_->format() != format) timeAxis_->setFormat(format);
    timeAxis_->setRange(dateTimeOf(fromMs), dateTimeOf(toMs));
}

void TimeChartView::showCursorAt(double timeMs) {
    const QRectF area = chart()->plotArea();
    if (!anchor_ || !std::isfinite(timeMs)) {
        cursorLine_->hide();
        return;
    }
    const double x = chart()->mapToPosition(QPointF(timeMs, 0.0), anchor_).x();
    if (x < area.left() || x > area.right()) {
        cursorLine_->hide();
        return;
    }
    cursorLine_->setLine(x, area.top(), x, area.bottom());
    cursorLine_->show();
}

int TimeChartView::plotColumns() const {
    const int columns = static_cast<int>(chart()->plotArea().width());
    return columns > 0 ? columns : 1;
}

void TimeChartView::setPlotInsets(const QMargins& insets) {
    insets_ = insets;
    placePlotArea();
}

void TimeChartView::placePlotArea() {
    placePlotArea(chart()->size());
}

void TimeChartView::placePlotArea(const QSizeF& chartSize) {
    if (insets_.isNull()) return;
    chart()->setPlotArea(QRectF(QPointF(0, 0), chartSize).marginsRemoved(insets_.toMarginsF()));
    // A legend taken off the chart's layout sits in the top margin, over the plot area.
    QLegend* legend = chart()->legend();
    if (legend->isVisible() && !legend->isAttachedToChart())
        legend->setGeometry(QRectF(insets_.left(), 0,
                                   chartSize.width() - insets_.left() - insets_.right(),
                                   insets_.top()));
}

// The plot area is placed before the chart takes its new size, so that the axes are laid
// out once, for the new area.
void TimeChartView::resizeEvent(QResizeEvent* event) {
    placePlotArea(event->size());
    QChartView::resizeEvent(event);
}

void TimeChartView::mouseMoveEvent(QMouseEvent* event) {
    QChartView::mouseMoveEvent(event);
    if (!anchor_) return;
    const QPointF inChart = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    if (!chart()->plotArea().contains(inChart)) return;
    emit hovered(chart()->mapToValue(inChart, anchor_).x());
}

void TimeChartView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0 || !anchor_) return;
    const double from = static_cast<double>(timeAxis_->min().toMSecsSinceEpoch());
    const double to = static_cast<double>(timeAxis_->max().toMSecsSinceEpoch());
    const QPointF inChart = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    double centre = chart()->mapToValue(inChart, anchor_).x();
    if (centre < from || centre > to) centre = (from + to) / 2.0;
    const double scale = std::pow(kWheelStep, -notches);
    double newFrom = centre - (centre - from) * scale;
    double newTo = centre + (to - centre) * scale;
    if (newTo - newFrom < kMinimumSpanMs) return;
    setTimeRange(newFrom, newTo);
    event->accept();
}

}  // namespace qe::ui
