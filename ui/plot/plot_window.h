#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>
#include <array>
#include <utility>
#include <vector>

#include "plot_history.h"
#include "readout_stream.h"
#include "recording_control.h"

class QAreaSeries;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QTimer;

namespace qe::ui {

class FastCapture;
class TimeChartView;

// The "Plot" window: absolute position, speed, AGC level and magnet status over the last
// 10 s, 60 s or 10 min, from the readouts the poll cycle makes anyway. It keeps listening
// while hidden, so it opens on the recent past; it draws only while shown.
class PlotWindow final : public QWidget, private chip::ReadoutObserver {
    Q_OBJECT
public:
    PlotWindow(chip::ReadoutStream& stream, Clock& clock, RecordingControl::SourceOf source,
               MessageSink& messages, QWidget* parent = nullptr);
    ~PlotWindow() override;

    // Draws what has arrived; the window does it by itself several times a second.
    void refresh();

    static constexpr std::array<int, 3> kSpanSeconds{10, 60, 600};
    // How often the charts are drawn for each span: about as often as the time axis moves by
    // a few pixels, so a longer span costs no more than a short one.
    static constexpr std::array<int, 3> kRefreshMs{200, 500, 2000};
    int refreshMs() const;

    const PlotHistory& history() const { return history_; }
    // What the charts show: the three lines, and the band of each magnet status (0..3).
    enum class Line { Position, Speed, Agc };
    // The first piece of the line; a line is cut into pieces where readouts are missing.
    const QLineSeries* line(Line which) const;
    // The pieces of a line, as many as are drawn now (none but the first may be empty).
    std::vector<const QLineSeries*> linePieces(Line which) const;
    const QLineSeries* statusBand(int status) const;
    // Where readouts are missing, in the band below the magnet statuses.
    const QLineSeries* noDataBand() const { return noDataUpper_; }
    TimeChartView* positionChart() const { return positionChart_; }
    TimeChartView* speedChart() const { return speedChart_; }
    RecordingControl& recorder() { return *recorder_; }
    // Offers "Fast capture", which runs `capture` while it is down; closing the window ends it.
    void offerFastCapture(FastCapture& capture);
    // The time shown by the cursor line and text.
    void setCursorTime(double timeMs);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void readoutArrived(const chip::ReadoutSample& sample) override;
    void readoutFailed(std::int64_t steadyNs) override;
    void adapterLost() override;

    void buildCharts();
    void alignPlotAreas();
    QWidget* buildControls();
    void spanChosen();
    void pauseToggled(bool paused);
    void fastCaptureToggled(bool on);
    void userZoomed(TimeChartView* source);
    void drawRange(double fromMs, double toMs);
    template <typename ValueOf>
    void drawLine(Line which, const std::vector<std::pair<std::size_t, std::size_t>>& pieces,
                  double fromMs, double toMs, int columns, ValueOf valueOf);
    QLineSeries* piece(Line which, std::size_t index);
    void drawStatusBand(std::size_t first, std::size_t end, double fromMs, double toMs,
                        int columns);
    void setTimeRange(double fromMs, double toMs);
    void showCursorText();
    bool unwrapped() const;

    chip::ReadoutStream& stream_;
    PlotHistory history_;
    bool fresh_ = false;  // readouts arrived since the last drawing
    bool settingRange_ = false;
    double cursorMs_ = 0.0;

    QComboBox* span_ = nullptr;
    QPushButton* pause_ = nullptr;
    QCheckBox* unwrap_ = nullptr;
    QPushButton* record_ = nullptr;
    QPushButton* fastCapture_ = nullptr;
    FastCapture* capture_ = nullptr;
    QLabel* cursorText_ = nullptr;
    TimeChartView* positionChart_ = nullptr;
    TimeChartView* speedChart_ = nullptr;
    TimeChartView* agcChart_ = nullptr;
    TimeChartView* statusChart_ = nullptr;
    std::array<TimeChartView*, 4> charts_{};
    // The pieces of each line (position, speed, AGC), the first made with the chart.
    std::array<std::vector<QLineSeries*>, 3> lines_;
    std::array<TimeChartView*, 3> lineCharts_{};
    QList<QPointF> allDrawn_;  // every piece of a line, to fit the value axis around
    std::array<QLineSeries*, 4> statusUpper_{};  // one band per magnet status
    std::array<QList<QPointF>, 4> statusPoints_;
    QLineSeries* noDataUpper_ = nullptr;
    QList<QPointF> noDataPoints_;
    QList<QPointF> buffer_;  // reused for every line, so drawing allocates once
    RecordingControl* recorder_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
};

}  // namespace qe::ui
