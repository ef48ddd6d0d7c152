#pragma once

#include <QWidget>
#include <vector>

#include "magnet_check.h"

class QPolarChart;
class QScatterSeries;
class QValueAxis;

namespace qe::ui {

// The analysed turns against the measured angle: the AGC level on one polar chart, the
// position error on the other. On the error chart the middle circle is no error, so an
// off-centre magnet draws an off-centre ring.
class MagnetPolarView final : public QWidget {
    Q_OBJECT
public:
    explicit MagnetPolarView(QWidget* parent = nullptr);

    void showPoints(const std::vector<chip::MagnetPoint>& points);
    void clear();

    const QScatterSeries* agcSeries() const { return agc_; }
    const QScatterSeries* errorSeries() const { return error_; }
    const QValueAxis* errorAxis() const { return errorRadius_; }

private:
    QScatterSeries* agc_;
    QScatterSeries* error_;
    QValueAxis* errorRadius_;
};

}  // namespace qe::ui
