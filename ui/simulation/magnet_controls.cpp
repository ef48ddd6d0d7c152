#include "magnet_controls.h"

#include <QDial>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <cmath>

#include "backend_options.h"
#include "named_button.h"
#include "simulation.h"
#include "virtual_magnet.h"
#include "widget_row.h"

namespace qe::ui {

using sim::kCountsPerTurn;

namespace {

constexpr int kMaxDistanceTenths = 80;  // 8 mm: past the point where the field is lost

struct DistancePreset {
    const char* objectName;
    const char* caption;
    double millimetres;
};

constexpr DistancePreset kDistancePresets[] = {
    {"tooCloseButton", "Too close", 0.2},
    {"inRangeButton", "In range", sim::VirtualMagnet::kDefaultDistanceMm},
    {"tooFarButton", "Too far", 4.0},
};

QString statusText(sim::MagnetStatus status) {
    switch (status) {
        case sim::MagnetStatus::InRange:
            return QStringLiteral("in range");
        case sim::MagnetStatus::TooClose:
            return QStringLiteral("too close");
        case sim::MagnetStatus::TooFar:
            return QStringLiteral("too far");
        case sim::MagnetStatus::Error:
            return QStringLiteral("no field");
    }
    return {};
}

// A wrapping dial has its smallest value at the bottom and counts clockwise; the analogue
// panel's dial has 0 at the top. Half a turn between the two makes them agree, so that
// turning the magnet here moves the panel's needle the same way. Its own inverse.
int halfATurnOn(int counts) {
    return (counts + kCountsPerTurn / 2) % kCountsPerTurn;
}

}  // namespace

MagnetControls::MagnetControls(sim::VirtualMagnet& magnet, QWidget* parent)
    : QGroupBox(QStringLiteral("Magnet"), parent), magnet_(magnet) {
    setObjectName(QStringLiteral("magnetControls"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Angle:"), makeAngleRow());
    form->addRow(QStringLiteral("Speed:"), makeSpeedRow());
    form->addRow(QStringLiteral("Distance:"), makeDistanceRow());
    form->addRow(QStringLiteral("Mounting:"), makeMountingRow());
    refresh();
}

QWidget* MagnetControls::makeAngleRow() {
    angleDial_ = new QDial(this);
    angleDial_->setObjectName(QStringLiteral("angleDial"));
    // A wrapping dial's whole turn is its range's span, so the span is one turn of counts.
    angleDial_->setRange(0, kCountsPerTurn);
    angleDial_->setWrapping(true);
    angleDial_->setNotchesVisible(true);
    angleDial_->setNotchTarget(16.0);
    angleDial_->setFixedSize(72, 72);
    angleDial_->setToolTip(QStringLiteral("Stop the magnet to turn it by hand."));
    connect(angleDial_, &QDial::valueChanged, this, [this](int dialValue) {
        magnet_.setAngle(static_cast<double>(halfATurnOn(dialValue)) / kCountsPerTurn);
    });

    angleText_ = new QLabel(this);
    angleText_->setObjectName(QStringLiteral("angleText"));
    angleText_->setMinimumWidth(
        angleText_->fontMetrics().horizontalAdvance(QStringLiteral("359.9° (4095 of 4096)")));
    return makeRow(this, {angleDial_, angleText_});
}

QWidget* MagnetControls::makeSpeedRow() {
    speed_ = new QDoubleSpinBox(this);
    speed_->setObjectName(QStringLiteral("speedBox"));
    speed_->setRange(kMagnetSpeedRps.lowest, kMagnetSpeedRps.highest);
    speed_->setDecimals(2);
    speed_->setSingleStep(0.1);
    speed_->setSuffix(QStringLiteral(" rps"));
    speed_->setKeyboardTracking(false);
    speed_->setToolTip(QStringLiteral("Revolutions per second; negative turns the other way."));
    speed_->setValue(magnet_.speed());
    connect(speed_, &QDoubleSpinBox::valueChanged, this, &MagnetControls::applySpeed);

    auto* stop = makeNamedButton("stopButton", QStringLiteral("Stop"), this);
    connect(stop, &QPushButton::clicked, speed_, [this] { speed_->setValue(0.0); });
    auto* reverse = makeNamedButton("reverseButton", QStringLiteral("Reverse"), this);
    connect(reverse, &QPushButton::clicked, speed_, [this] { speed_->setValue(-speed_->value()); });
    return makeRow(this, {speed_, stop, reverse});
}

QWidget* MagnetControls::makeDistanceRow() {
    auto* holder = new QWidget(this);
    auto* rows = new QVBoxLayout(holder);
    rows->setContentsMargins(0, 0, 0, 0);

    distance_ = new QSlider(Qt::Horizontal, holder);
    distance_->setObjectName(QStringLiteral("distanceSlider"));
    distance_->setRange(0, kMaxDistanceTenths);
    distance_->setValue(static_cast<int>(std::lround(magnet_.distance() * 10.0)));
    connect(distance_, &QSlider::valueChanged, this, &MagnetControls::applyDistance);
    distanceText_ = new QLabel(holder);
    distanceText_->setObjectName(QStringLiteral("distanceText"));
    rows->addWidget(distance_);
    rows->addWidget(distanceText_);

    auto* presets = new QHBoxLayout;
    for (const DistancePreset& preset : kDistancePresets) {
        auto* button =
            makeNamedButton(preset.objectName, QString::fromUtf8(preset.caption), holder);
        const int tenths = static_cast<int>(std::lround(preset.millimetres * 10.0));
        connect(button, &QPushButton::clicked, distance_,
                [this, tenths] { distance_->setValue(tenths); });
        presets->addWidget(button);
    }
    presets->addStretch();
    rows->addLayout(presets);
    return holder;
}

QWidget* MagnetControls::makeMountingRow() {
    auto spinBox = [this](const char* name, double maximum, const QString& suffix,
                          const QString& hint, double value) {
        auto* box = new QDoubleSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(0.0, maximum);
        box->setDecimals(1);
        box->setSuffix(suffix);
        box->setKeyboardTracking(false);
        box->setToolTip(hint);
        box->setValue(value);
        connect(box, &QDoubleSpinBox::valueChanged, this, &MagnetControls::applyMounting);
        return box;
    };
    offCentre_ = spinBox("offCentreBox", 200.0, QStringLiteral(" counts off-centre"),
                         QStringLiteral("An off-centre magnet adds this much error to the "
                                        "position, once per turn."),
                         magnet_.eccentricityCounts());
    offCentrePhase_ = spinBox("offCentrePhaseBox", 359.9, QStringLiteral("°"),
                              QStringLiteral("Where in the turn the off-centre error is "
                                             "largest, less 90°."),
                              magnet_.eccentricityPhaseDegrees());
    tilt_ = spinBox("tiltBox", 8.0, QStringLiteral(" AGC ripple"),
                    QStringLiteral("A tilted magnet makes the AGC gain rise and fall by this "
                                   "many levels once per turn."),
                    magnet_.agcRipple());
    return makeRow(this, {offCentre_, offCentrePhase_, tilt_});
}

void MagnetControls::applyMounting() {
    magnet_.setEccentricity(offCentre_->value(), offCentrePhase_->value());
    magnet_.setAgcRipple(tilt_->value());
}

void MagnetControls::applySpeed(double revolutionsPerSecond) {
    magnet_.setSpeed(revolutionsPerSecond);
    refresh();
}

void MagnetControls::applyDistance(int tenthsOfMillimetre) {
    magnet_.setDistance(tenthsOfMillimetre / 10.0);
    refresh();
}

void MagnetControls::refresh() {
    const bool stopped = magnet_.speed() == 0.0;
    angleDial_->setEnabled(stopped);
    const double turns = magnet_.angle();
    const int counts = static_cast<int>(std::floor(turns * kCountsPerTurn)) % kCountsPerTurn;
    if (!angleDial_->isSliderDown()) {
        const QSignalBlocker quiet(angleDial_);  // following the magnet is no user's turn
        angleDial_->setValue(halfATurnOn(counts));
    }
    angleText_->setText(QStringLiteral("%1° (%2 of %3)")
                            .arg(turns * 360.0, 0, 'f', 1)
                            .arg(counts)
                            .arg(kCountsPerTurn));
    distanceText_->setText(QStringLiteral("%1 mm: %2, AGC gain %3")
                               .arg(magnet_.distance(), 0, 'f', 1)
                               .arg(statusText(magnet_.status()))
                               .arg(magnet_.agcGain()));
}

}  // namespace qe::ui
