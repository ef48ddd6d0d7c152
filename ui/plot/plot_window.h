#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>
#include <array>

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
    const QLineSeries* line(Line which) const;
    const QLineSeries* statusBand(int status) const;
    TimeChartView* positionChart() const { return positionChart_; }
    TimeChartView* speedChart() const { return speedChart_; }
    RecordingControl& recorder() { return *recorder_; }
    // The time shown by the cursor line and text.
    void setCursorTime(double timeMs);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void readoutArrived(const chip::ReadoutSample& sample) override;

    void buildCharts();
    void alignPlotAreas();
    QWidget* buildControls();
    void spanChosen();
    void pauseToggled(bool paused);
    void userZoomed(TimeChartView* source);
    void drawRange(double fromMs, double toMs);
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
    QLabel* cursorText_ = nullptr;
    TimeChartView* positionChart_ = nullptr;
    TimeChartView* speedChart_ = nullptr;
    TimeChartView* agcChart_ = nullptr;
    TimeChartView* statusChart_ = nullptr;
    std::array<TimeChartView*, 4> charts_{};
    QLineSeries* position_ = nullptr;
    QLineSeries* speed_ = nullptr;
    QLineSeries* agc_ = nullptr;
    std::array<QLineSeries*, 4> statusUpper_{};  // one band per magnet status
    std::array<QList<QPointF>, 4> statusPoints_;
    QList<QPointF> buffer_;  // reused for every line, so drawing allocates once
    RecordingControl* recorder_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
};

}  // namespace qe::ui
