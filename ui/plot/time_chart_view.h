#pragma once

#include <QChartView>

class QDateTimeAxis;
class QGraphicsLineItem;
class QValueAxis;

namespace qe::ui {

// One chart of the plot: quantities over wall-clock time, with a vertical cursor line that
// follows the mouse, horizontal rubber-band zoom and wheel zoom on the time axis only.
class TimeChartView final : public QChartView {
    Q_OBJECT
public:
    explicit TimeChartView(const QString& valueTitle, QWidget* parent = nullptr);

    QDateTimeAxis* timeAxis() const { return timeAxis_; }
    QValueAxis* valueAxis() const { return valueAxis_; }
    // Puts a series on this chart's axes.
    void addSeries(QAbstractSeries* series);

    void setTimeRange(double fromMs, double toMs);
    // Draws the cursor line at a time, or hides it when the time is outside the chart.
    void showCursorAt(double timeMs);
    // Columns the plot area is wide: how many points a line needs at most.
    int plotColumns() const;
    // The cursor line, shown while the cursor's time is on this chart.
    const QGraphicsLineItem& cursorLine() const { return *cursorLine_; }
    // Keeps the plot area this far inside the chart's edges, whatever the labels need, so
    // that charts stacked above each other share their time columns to the pixel and a
    // relabelled axis moves nothing.
    void setPlotInsets(const QMargins& insets);

signals:
    // The mouse points at this time.
    void hovered(double timeMs);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QDateTimeAxis* timeAxis_;
    QValueAxis* valueAxis_;
    QGraphicsLineItem* cursorLine_ = nullptr;
    QAbstractSeries* anchor_ = nullptr;  // the first series, whose axes map times to pixels
    QMargins insets_;
    void placePlotArea();
    void placePlotArea(const QSizeF& chartSize);
};

}  // namespace qe::ui
