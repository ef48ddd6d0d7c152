#include "command_line.h"

#include <cmath>

namespace qe::ui {

namespace {
// The simulated adapter is chosen here, not in the adapter library below.
const QString kSimulatedDriver = QStringLiteral("sim");

QString driverNames() {
    return QString::fromStdString(driverChoiceNames()) + '|' + kSimulatedDriver;
}
}  // namespace

CommandLine::CommandLine()
    : help_(parser_.addHelpOption()),
      version_(parser_.addVersionOption()),
      driver_(QStringLiteral("driver"),
              QString::fromStdString(driverChoiceHelp()) +
                  QStringLiteral(" sim is the simulated adapter (--simulate)."),
              driverNames()),
      simulate_(QStringLiteral("simulate"),
                QStringLiteral("Run on a simulated adapter with QE7204 chips instead of a real "
                               "adapter, with a window to control the simulation.")),
      chips_(QStringLiteral("chips"),
             QStringLiteral("With --simulate: number of chips on the bus, 0 to %1 (default %2).")
                 .arg(kMaxChips)
                 .arg(sim::SimulationOptions{}.chips),
             QStringLiteral("N")),
      magnetSpeed_(QStringLiteral("magnet-speed"),
                   QStringLiteral("With --simulate: turns of the magnet per second, negative for "
                                  "the other direction, 0 to stand still (default %1).")
                       .arg(sim::SimulationOptions{}.revolutionsPerSecond),
                   QStringLiteral("RPS")),
      magnetOffCentre_(QStringLiteral("magnet-off-centre"),
                       QStringLiteral("With --simulate: the magnet off-centre by COUNTS (0 to %1), "
                                      "its error once per turn at PHASE degrees (default 0).")
                           .arg(sim::kMaxOffCentreCounts),
                       QStringLiteral("COUNTS[,PHASE]")),
      magnetTilt_(QStringLiteral("magnet-tilt"),
                  QStringLiteral("With --simulate: the magnet tilted, its AGC rippling once per "
                                 "turn by LEVELS (0 to %1).")
                      .arg(sim::kMaxTiltAgcLevels),
                  QStringLiteral("LEVELS")) {
    parser_.setApplicationDescription(QStringLiteral(
        "Configures and watches the QE7204 magnetic rotary encoder through its USB adapter."));
    parser_.addOption(driver_);
    parser_.addOption(simulate_);
    parser_.addOption(chips_);
    parser_.addOption(magnetSpeed_);
    parser_.addOption(magnetOffCentre_);
    parser_.addOption(magnetTilt_);
}

bool CommandLine::parse(const QStringList& arguments) {
    options_ = {};
    error_.clear();
    if (!parser_.parse(arguments)) {
        error_ = parser_.errorText();
        return false;
    }
    if (!parser_.positionalArguments().isEmpty()) {
        error_ =
            QStringLiteral("Unexpected argument '%1'.").arg(parser_.positionalArguments().first());
        return false;
    }
    options_.simulate = parser_.isSet(simulate_);
    return readDriverChoice() && readSimulationOptions();
}

bool CommandLine::readDriverChoice() {
    if (!parser_.isSet(driver_)) return true;
    const QString name = parser_.value(driver_);
    if (name == kSimulatedDriver) {
        options_.simulate = true;
        return true;
    }
    const auto choice = driverChoiceFromName(name.toStdString());
    if (!choice) {
        error_ = QStringLiteral("--driver takes %1, not '%2'.").arg(driverNames(), name);
        return false;
    }
    if (options_.simulate) {
        error_ =
            QStringLiteral("--simulate is --driver sim; it cannot go with --driver %1.").arg(name);
        return false;
    }
    options_.driver = *choice;
    return true;
}

bool CommandLine::readSimulationOptions() {
    const bool simulationSet = parser_.isSet(chips_) || parser_.isSet(magnetSpeed_) ||
                               parser_.isSet(magnetOffCentre_) || parser_.isSet(magnetTilt_);
    if (simulationSet && !options_.simulate) {
        error_ = QStringLiteral("--chips and the --magnet options need --simulate.");
        return false;
    }
    if (parser_.isSet(chips_)) {
        bool ok = false;
        const int chips = parser_.value(chips_).toInt(&ok, 10);
        if (!ok || chips < 0 || chips > kMaxChips) {
            error_ = QStringLiteral("--chips takes a whole number from 0 to %1, not '%2'.")
                         .arg(kMaxChips)
                         .arg(parser_.value(chips_));
            return false;
        }
        options_.simulation.chips = chips;
    }
    if (parser_.isSet(magnetSpeed_)) {
        bool ok = false;
        const double speed = parser_.value(magnetSpeed_).toDouble(&ok);
        if (!ok || !std::isfinite(speed) || std::abs(speed) > sim::kMaxMagnetSpeedRps) {
            error_ =
                QStringLiteral("--magnet-speed takes turns per second from %1 to %2, not '%3'.")
                    .arg(-sim::kMaxMagnetSpeedRps)
                    .arg(sim::kMaxMagnetSpeedRps)
                    .arg(parser_.value(magnetSpeed_));
            return false;
        }
        options_.simulation.revolutionsPerSecond = speed;
    }
    if (parser_.isSet(magnetOffCentre_) &&
        !sim::parseOffCentre(parser_.value(magnetOffCentre_).toStdString(), options_.simulation)) {
        error_ = QStringLiteral(
                     "--magnet-off-centre takes COUNTS from 0 to %1, optionally "
                     "followed by ,PHASE in degrees, not '%2'.")
                     .arg(sim::kMaxOffCentreCounts)
                     .arg(parser_.value(magnetOffCentre_));
        return false;
    }
    if (parser_.isSet(magnetTilt_) &&
        !sim::parseTilt(parser_.value(magnetTilt_).toStdString(), options_.simulation)) {
        error_ = QStringLiteral("--magnet-tilt takes AGC levels from 0 to %1, not '%2'.")
                     .arg(sim::kMaxTiltAgcLevels)
                     .arg(parser_.value(magnetTilt_));
        return false;
    }
    return true;
}

}  // namespace qe::ui
