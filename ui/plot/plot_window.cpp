#include "plot_window.h"

#include <QAreaSeries>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "fast_capture.h"
#include "readout.h"
#include "series_decimation.h"
#include "time_chart_view.h"

namespace qe::ui {

namespace {

constexpr double kMsPerSecond = 1000.0;
constexpr double kFullAgcPercent = 100.0;
constexpr int kStatusCount = 4;
constexpr int kStatusChartHeight = 100;

// Okabe-Ito colours, told apart with any colour vision: bluish green, orange, sky blue,
// vermilion; no data is grey.
const std::array<QColor, kStatusCount> kStatusColours{
    QColor(0, 158, 115),   // in range
    QColor(230, 159, 0),   // too close
    QColor(86, 180, 233),  // too far
    QColor(213, 94, 0),    // error
};
const QColor kNoDataColour(150, 150, 150);
const QString kPositionTitle = QStringLiteral("Position (counts)");
const QString kUncertainPositionTitle =
    QStringLiteral("Position (counts; turns uncertain after a gap)");

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

struct ValueSpan {
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
};

ValueSpan spanOf(const QList<QPointF>& points) {
    ValueSpan span;
    for (const QPointF& p : points) {
        span.low = std::min(span.low, p.y());
        span.high = std::max(span.high, p.y());
    }
    return span;
}

// Relabelling an axis is most of what a chart costs to draw, so the range stays while the
// values fit in it and fill a fair part of it; otherwise it is fitted anew with room to move.
void holdOrFit(QValueAxis* axis, ValueSpan values, double margin) {
    const double shown = axis->max() - axis->min();
    const bool fits = values.low >= axis->min() && values.high <= axis->max();
    if (fits && values.high - values.low >= shown / 4) return;
    axis->setRange(values.low - margin, values.high + margin);
    axis->applyNiceNumbers();
}

// A value axis from 0 to a little above the highest value, never empty.
void fitFromZero(QValueAxis* axis, const QList<QPointF>& points, double atLeast) {
    ValueSpan values = spanOf(points);
    values.low = 0.0;
    values.high = std::max(values.high, atLeast);
    const double top = values.high * 1.25;
    if (values.high <= axis->max() && axis->max() <= top * 2 && axis->min() == 0.0) return;
    axis->setRange(0.0, top);
    axis->applyNiceNumbers();
}

void fitAround(QValueAxis* axis, const QList<QPointF>& points) {
    if (points.isEmpty()) return;
    const ValueSpan values = spanOf(points);
    holdOrFit(axis, values, std::max(16.0, (values.high - values.low) * 0.25));
}

}  // namespace

PlotWindow::PlotWindow(chip::ReadoutStream& stream, Clock& clock, RecordingControl::SourceOf source,
                       MessageSink& messages, QWidget* parent)
    : QWidget(parent, Qt::Window), stream_(stream) {
    setObjectName(QStringLiteral("PlotWindow"));
    setWindowTitle(QStringLiteral("Plot"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(8);
    layout->addWidget(buildControls());
    buildCharts();
    for (TimeChartView* chart : charts_) layout->addWidget(chart, chart == statusChart_ ? 0 : 1);
    cursorText_ = new QLabel(this);
    cursorText_->setObjectName(QStringLiteral("PlotCursor"));
    cursorText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(cursorText_);
    resize(900, 720);

    recorder_ = new RecordingControl(record_, stream, clock, std::move(source), messages, this);
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setInterval(refreshMs());
    connect(refreshTimer_, &QTimer::timeout, this, [this] {
        if (fresh_ && !pause_->isChecked()) refresh();
    });
    stream_.add(this);
}

PlotWindow::~PlotWindow() {
    if (capture_) capture_->stop();
    stream_.remove(this);
}

namespace {
const QString kFastCaptureTip = QStringLiteral(
    "Reads the chip as fast as the link allows, for the plot and the recording; the main "
    "window's readout pauses meanwhile. A chip operation, Power OFF or closing this window "
    "ends it.");
}  // namespace

void PlotWindow::offerFastCapture(FastCapture& capture) {
    capture_ = &capture;
    fastCapture_->setToolTip(kFastCaptureTip);
    fastCapture_->show();
    // The button follows the capture, also when it ends by itself.
    connect(&capture, &FastCapture::runningChanged, this, [this](bool running) {
        const QSignalBlocker quiet(fastCapture_);
        fastCapture_->setChecked(running);
        const QString& note = capture_->note();
        fastCapture_->setToolTip(note.isEmpty() ? kFastCaptureTip
                                                : kFastCaptureTip + QStringLiteral("\n\n") + note);
    });
}

void PlotWindow::fastCaptureToggled(bool on) {
    if (!capture_) return;
    if (!on) {
        capture_->stop();
        return;
    }
    if (!capture_->start()) {
        const QSignalBlocker quiet(fastCapture_);
        fastCapture_->setChecked(false);
        fastCapture_->setToolTip(kFastCaptureTip + QStringLiteral("\n\n") + capture_->note());
    }
}

void PlotWindow::closeEvent(QCloseEvent* event) {
    if (capture_) capture_->stop();
    QWidget::closeEvent(event);
}

QWidget* PlotWindow::buildControls() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    span_ = new QComboBox(row);
    span_->setObjectName(QStringLiteral("PlotSpan"));
    span_->addItems(
        {QStringLiteral("Last 10 s"), QStringLiteral("Last 60 s"), QStringLiteral("Last 10 min")});
    pause_ = new QPushButton(QStringLiteral("Pause"), row);
    pause_->setObjectName(QStringLiteral("PlotPause"));
    pause_->setCheckable(true);
    pause_->setToolTip(QStringLiteral(
        "Stops the plot where it is; drag across a chart or turn the wheel to zoom in time, "
        "right-click to zoom out."));
    unwrap_ = new QCheckBox(QStringLiteral("Count whole turns"), row);
    unwrap_->setObjectName(QStringLiteral("PlotUnwrapped"));
    unwrap_->setChecked(true);
    unwrap_->setToolTip(QStringLiteral(
        "On: the position goes on past 4095 with every turn. Off: as read, 0 to 4095."));
    record_ = new QPushButton(row);
    record_->setObjectName(QStringLiteral("PlotRecord"));
    fastCapture_ = new QPushButton(QStringLiteral("Fast capture"), row);
    fastCapture_->setObjectName(QStringLiteral("PlotFastCapture"));
    fastCapture_->setCheckable(true);
    fastCapture_->hide();  // until a capture is offered
    layout->addWidget(span_);
    layout->addWidget(pause_);
    layout->addWidget(unwrap_);
    layout->addStretch(1);
    layout->addWidget(fastCapture_);
    layout->addWidget(record_);

    connect(span_, &QComboBox::currentIndexChanged, this, &PlotWindow::spanChosen);
    connect(pause_, &QPushButton::toggled, this, &PlotWindow::pauseToggled);
    connect(fastCapture_, &QPushButton::toggled, this, &PlotWindow::fastCaptureToggled);
    connect(unwrap_, &QCheckBox::toggled, this, [this] { refresh(); });
    return row;
}

void PlotWindow::buildCharts() {
    positionChart_ = new TimeChartView(kPositionTitle, this);
    speedChart_ = new TimeChartView(QStringLiteral("Speed (RPM)"), this);
    agcChart_ = new TimeChartView(QStringLiteral("AGC level (%)"), this);
    statusChart_ = new TimeChartView(QStringLiteral("Magnet"), this);
    charts_ = {positionChart_, speedChart_, agcChart_, statusChart_};

    const auto line = [this](TimeChartView* chart, const char* name) {
        auto* series = new QLineSeries(this);
        series->setObjectName(QLatin1String(name));
        // A thin line draws several times faster than the theme's wide one.
        QPen pen = series->pen();
        pen.setWidth(1);
        series->setPen(pen);
        chart->addSeries(series);
        return series;
    };
    lineCharts_ = {positionChart_, speedChart_, agcChart_};
    lines_[0].push_back(line(positionChart_, "PlotPositionSeries"));
    lines_[1].push_back(line(speedChart_, "PlotSpeedSeries"));
    lines_[2].push_back(line(agcChart_, "PlotAgcSeries"));
    agcChart_->valueAxis()->setRange(0.0, kFullAgcPercent);

    for (int status = 0; status < kStatusCount; ++status) {
        auto* upper = new QLineSeries(this);
        auto* band = new QAreaSeries(upper);
        band->setName(text(chip::magnetStatusText(status)));
        band->setObjectName(QStringLiteral("PlotStatusBand%1").arg(status));
        band->setColor(kStatusColours[static_cast<std::size_t>(status)]);
        band->setBorderColor(kStatusColours[static_cast<std::size_t>(status)]);
        statusChart_->addSeries(band);
        statusUpper_[static_cast<std::size_t>(status)] = upper;
    }
    {
        noDataUpper_ = new QLineSeries(this);
        auto* band = new QAreaSeries(noDataUpper_);
        band->setName(QStringLiteral("No data"));
        band->setObjectName(QStringLiteral("PlotNoDataBand"));
        band->setColor(kNoDataColour);
        band->setBorderColor(kNoDataColour);
        statusChart_->addSeries(band);
    }
    statusChart_->valueAxis()->setRange(0.0, 1.0);
    statusChart_->valueAxis()->setLabelsVisible(false);
    statusChart_->valueAxis()->setGridLineVisible(false);

    statusChart_->chart()->legend()->show();
    statusChart_->chart()->legend()->detachFromChart();
    statusChart_->valueAxis()->setTitleVisible(false);  // too short a chart; the legend says it
    statusChart_->setFixedHeight(kStatusChartHeight);

    alignPlotAreas();
    for (TimeChartView* chart : charts_) {
        connect(chart, &TimeChartView::hovered, this, &PlotWindow::setCursorTime);

        connect(chart->timeAxis(), &QDateTimeAxis::rangeChanged, this,
                [this, chart] { userZoomed(chart); });
    }
}

// The charts share the bottom chart's time labels: drawing them on every chart took most
// of the window's time while it scrolls. All plot areas keep the same left and right edge.
void PlotWindow::alignPlotAreas() {
    for (TimeChartView* chart : {positionChart_, speedChart_, agcChart_})
        chart->timeAxis()->setVisible(false);
    const QValueAxis* values = positionChart_->valueAxis();
    const QFontMetrics labels(values->labelsFont());
    const QFontMetrics titles(values->titleFont());
    const QFontMetrics times(statusChart_->timeAxis()->labelsFont());
    const int left = labels.horizontalAdvance(QStringLiteral("-00000000")) + titles.height() + 12;
    const int right = times.horizontalAdvance(QStringLiteral("00:00:00.000")) / 2 + 4;
    const int edge = labels.height() / 2 + 2;  // room for half a label at either end
    for (TimeChartView* chart : {positionChart_, speedChart_, agcChart_})
        chart->setPlotInsets(QMargins(left, edge, right, edge));
    const int legend = QFontMetrics(statusChart_->chart()->legend()->font()).height() + 12;
    statusChart_->setPlotInsets(QMargins(left, legend, right, times.height() + 8));
}

const QLineSeries* PlotWindow::line(Line which) const {
    return lines_[static_cast<std::size_t>(which)].front();
}

std::vector<const QLineSeries*> PlotWindow::linePieces(Line which) const {
    std::vector<const QLineSeries*> pieces;
    for (const QLineSeries* series : lines_[static_cast<std::size_t>(which)])
        if (pieces.empty() || series->count() > 0) pieces.push_back(series);
    return pieces;
}

// The index-th piece of a line, made like the first when it is first needed.
QLineSeries* PlotWindow::piece(Line which, std::size_t index) {
    auto& pieces = lines_[static_cast<std::size_t>(which)];
    while (pieces.size() <= index) {
        auto* series = new QLineSeries(this);
        series->setPen(pieces.front()->pen());
        lineCharts_[static_cast<std::size_t>(which)]->addSeries(series);
        for (QLegendMarker* marker :
             lineCharts_[static_cast<std::size_t>(which)]->chart()->legend()->markers(series))
            marker->setVisible(false);
        pieces.push_back(series);
    }
    return pieces[index];
}

// One line piece by piece, so that no line runs across missing readouts.
template <typename ValueOf>
void PlotWindow::drawLine(Line which,
                          const std::vector<std::pair<std::size_t, std::size_t>>& pieces,
                          double fromMs, double toMs, int columns, ValueOf valueOf) {
    allDrawn_.clear();
    const auto& points = history_.points();
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        decimateInto(buffer_, points, pieces[k].first, pieces[k].second, fromMs, toMs, columns,
                     valueOf);
        piece(which, k)->replace(buffer_);
        allDrawn_.append(buffer_);
    }
    auto& all = lines_[static_cast<std::size_t>(which)];
    for (std::size_t k = std::max<std::size_t>(pieces.size(), 1); k < all.size(); ++k)
        if (all[k]->count() > 0) all[k]->clear();
    if (pieces.empty()) all.front()->clear();
}

const QLineSeries* PlotWindow::statusBand(int status) const {
    return statusUpper_.at(static_cast<std::size_t>(status));
}

void PlotWindow::readoutArrived(const chip::ReadoutSample& sample) {
    history_.add(sample);
    fresh_ = true;
}

void PlotWindow::readoutFailed(std::int64_t /*steadyNs*/) {
    history_.markGap();
}

void PlotWindow::adapterLost() {
    history_.markGap();
}

void PlotWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshTimer_->start();
    refresh();
}

void PlotWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    refreshTimer_->stop();
}

bool PlotWindow::unwrapped() const {
    return unwrap_->isChecked();
}

int PlotWindow::refreshMs() const {
    return kRefreshMs[static_cast<std::size_t>(std::max(0, span_->currentIndex()))];
}

void PlotWindow::spanChosen() {
    refreshTimer_->setInterval(refreshMs());
    pause_->setChecked(false);
    refresh();
}

void PlotWindow::pauseToggled(bool paused) {
    pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    if (!paused) refresh();
}

void PlotWindow::refresh() {
    fresh_ = false;
    if (history_.points().empty()) return;
    if (pause_->isChecked()) {
        const QDateTimeAxis* axis = positionChart_->timeAxis();
        drawRange(static_cast<double>(axis->min().toMSecsSinceEpoch()),
                  static_cast<double>(axis->max().toMSecsSinceEpoch()));
        return;
    }
    const double newest = history_.points().newest().timeMs;
    const double span =
        kSpanSeconds[static_cast<std::size_t>(std::max(0, span_->currentIndex()))] * kMsPerSecond;
    setTimeRange(newest - span, newest);
    drawRange(newest - span, newest);
}

void PlotWindow::setTimeRange(double fromMs, double toMs) {
    settingRange_ = true;
    for (TimeChartView* chart : charts_) chart->setTimeRange(fromMs, toMs);
    settingRange_ = false;
}

// A drag, a wheel turn or a right-click on one chart: all charts show that time and stop
// following the readouts.
void PlotWindow::userZoomed(TimeChartView* source) {
    if (settingRange_) return;
    const double from = static_cast<double>(source->timeAxis()->min().toMSecsSinceEpoch());
    const double to = static_cast<double>(source->timeAxis()->max().toMSecsSinceEpoch());
    setTimeRange(from, to);
    {
        const QSignalBlocker quiet(pause_);
        pause_->setChecked(true);
        pause_->setText(QStringLiteral("Resume"));
    }
    drawRange(from, to);
}

void PlotWindow::drawRange(double fromMs, double toMs) {
    const auto& points = history_.points();
    std::size_t first = history_.firstAtOrAfter(fromMs);
    if (first > 0) --first;  // the line starts at the chart's edge
    const std::size_t end = std::min(points.size(), history_.firstAtOrAfter(toMs) + 1);
    const int columns = positionChart_->plotColumns();

    std::vector<std::pair<std::size_t, std::size_t>> pieces;
    for (std::size_t i = first; i < end; ++i)
        if (pieces.empty() || points[i].afterGap)
            pieces.emplace_back(i, i + 1);
        else
            pieces.back().second = i + 1;

    // Counted across a gap, the whole turns may be off: the shaft may have turned unseen.
    const bool uncertain = unwrapped() && pieces.size() > 1;
    const QString title = uncertain ? kUncertainPositionTitle : kPositionTitle;
    if (positionChart_->valueAxis()->titleText() != title)
        positionChart_->valueAxis()->setTitleText(title);
    if (unwrapped()) {
        drawLine(Line::Position, pieces, fromMs, toMs, columns,
                 [](const PlotPoint& p) { return p.turnsCounts; });
        fitAround(positionChart_->valueAxis(), allDrawn_);
    } else {
        drawLine(Line::Position, pieces, fromMs, toMs, columns,
                 [](const PlotPoint& p) { return double(p.absolute); });
        positionChart_->valueAxis()->setRange(0.0, chip::kCountsPerTurn);
    }
    drawLine(Line::Speed, pieces, fromMs, toMs, columns,
             [](const PlotPoint& p) { return double(p.rpm); });
    fitFromZero(speedChart_->valueAxis(), allDrawn_, 10.0);
    drawLine(Line::Agc, pieces, fromMs, toMs, columns,
             [](const PlotPoint& p) { return double(p.agcPercent); });
    drawStatusBand(first, end, fromMs, toMs, columns);
    showCursorText();
}

// Each status is a band that is up while the magnet had that status. Where a pixel column
// holds several readouts the worst status of them is shown.
void PlotWindow::drawStatusBand(std::size_t first, std::size_t end, double fromMs, double toMs,
                                int columns) {
    for (auto& list : statusPoints_) list.clear();
    noDataPoints_.clear();
    const auto& points = history_.points();
    const double perColumn = toMs > fromMs ? (toMs - fromMs) / columns : 1.0;
    const auto columnOf = [&](double t) { return std::floor((t - fromMs) / perColumn); };
    std::size_t i = first;
    int runStatus = -1;
    double runStart = 0.0;
    const auto closeRun = [&](double at) {
        if (runStatus < 0) return;
        QList<QPointF>& band = statusPoints_[static_cast<std::size_t>(runStatus)];
        band << QPointF(runStart, 0.0) << QPointF(runStart, 1.0) << QPointF(at, 1.0)
             << QPointF(at, 0.0);
    };
    while (i < end) {
        const double start = points[i].timeMs;
        if (points[i].afterGap && i > first) {
            // Nothing is known between the last readout before the gap and this one.
            const double before = points[i - 1].timeMs;
            closeRun(before);
            runStatus = -1;
            noDataPoints_ << QPointF(before, 0.0) << QPointF(before, 1.0) << QPointF(start, 1.0)
                          << QPointF(start, 0.0);
        }
        const double column = columnOf(start);
        int worst = points[i].magnetStatus;
        for (++i; i < end && columnOf(points[i].timeMs) == column; ++i)
            worst = std::max(worst, int(points[i].magnetStatus));
        if (worst != runStatus) {
            closeRun(start);
            runStatus = worst;
            runStart = start;
        }
    }
    closeRun(points[end - 1].timeMs);
    for (std::size_t s = 0; s < statusUpper_.size(); ++s)
        statusUpper_[s]->replace(statusPoints_[s]);
    noDataUpper_->replace(noDataPoints_);
}

void PlotWindow::setCursorTime(double timeMs) {
    cursorMs_ = timeMs;
    showCursorText();
}

void PlotWindow::showCursorText() {
    for (TimeChartView* chart : charts_) chart->showCursorAt(cursorMs_);
    const PlotPoint* p = history_.nearest(cursorMs_);
    if (!p || cursorMs_ == 0.0) {
        cursorText_->setText(QStringLiteral("Point at a chart to read its values."));
        return;
    }
    const QString time =
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(p->timeMs)))
            .toString(QStringLiteral("hh:mm:ss.zzz"));
    const double position = unwrapped() ? p->turnsCounts : p->absolute;
    const QString turns =
        unwrapped() && p->turnsUncertain ? QStringLiteral(" (turns uncertain)") : QString();
    cursorText_->setText(QStringLiteral("%1    position %2%6    speed %3 RPM    AGC %4%    %5")
                             .arg(time, text(chip::formatFixed(position, 0)),
                                  text(chip::formatFixed(p->rpm, 1)),
                                  text(chip::formatFixed(p->agcPercent, 1)),
                                  text(chip::magnetStatusText(p->magnetStatus)), turns));
}

}  // namespace qe::ui
