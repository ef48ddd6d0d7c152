#pragma once

#include <QWidget>
#include <vector>

#include "magnet_check.h"

class QPolarChart;
class QScatterSeries;
class QValueAxis;

namespace qe::ui {

// The analysed turns against the measured angle: the AGC level on one polar chart, the
// position error in degrees on the other. The error chart's scale is fixed: the middle circle
// is no error (an off-centre magnet draws an off-centre ring), and rings mark the verdict's
// thresholds either way.
class MagnetPolarView final : public QWidget {
    Q_OBJECT
public:
    explicit MagnetPolarView(QWidget* parent = nullptr);

    void showPoints(const std::vector<chip::MagnetPoint>& points);
    void clear();

    const QScatterSeries* agcSeries() const { return agc_; }
    const QScatterSeries* errorSeries() const { return error_; }
    const QValueAxis* errorAxis() const { return errorRadius_; }
    // Where the rings are, in degrees of error; and the scale either way.
    static QList<double> ringRadii();
    static double errorRange();

private:
    QScatterSeries* agc_;
    QScatterSeries* error_;
    QValueAxis* errorRadius_;
};

}  // namespace qe::ui
