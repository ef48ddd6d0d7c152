#pragma once

#include <QGroupBox>

#include "virtual_magnet.h"

class QDial;
class QDoubleSpinBox;
class QLabel;
class QSlider;

namespace qe::ui {

// The magnet over the simulated chips: its angle (turned by hand while it stands still),
// its speed and direction, its distance from the chips, and how badly it is mounted.
class MagnetControls : public QGroupBox {
    Q_OBJECT
public:
    explicit MagnetControls(sim::VirtualMagnet& magnet, QWidget* parent = nullptr);

    // Shows where the magnet is now.
    void refresh();

private:
    QWidget* makeAngleRow();
    QWidget* makeSpeedRow();
    QWidget* makeDistanceRow();
    QWidget* makeMountingRow();
    void applyMounting();
    void applySpeed(double revolutionsPerSecond);
    void applyDistance(int tenthsOfMillimetre);

    sim::VirtualMagnet& magnet_;
    QDial* angleDial_ = nullptr;
    QLabel* angleText_ = nullptr;
    QDoubleSpinBox* speed_ = nullptr;
    QSlider* distance_ = nullptr;
    QLabel* distanceText_ = nullptr;
    QDoubleSpinBox* offCentre_ = nullptr;
    QDoubleSpinBox* offCentrePhase_ = nullptr;
    QDoubleSpinBox* tilt_ = nullptr;
};

}  // namespace qe::ui
