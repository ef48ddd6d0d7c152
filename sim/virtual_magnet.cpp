#include "virtual_magnet.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qe::sim {

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;

double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

double wrapRevolutions(double revolutions) {
    double wrapped = revolutions - std::floor(revolutions);
    return wrapped >= 1.0 ? 0.0 : wrapped;  // -1e-20 would otherwise wrap to exactly 1.0
}
}  // namespace

VirtualMagnet::VirtualMagnet(Clock& clock) : clock_(clock), baseNs_(clock.nowNs()) {}

void VirtualMagnet::setSpeed(double revolutionsPerSecond) {
    // Re-base so that the angle turned so far is kept and the new speed applies from now on.
    setAngle(angle());
    speedRps_ = std::isfinite(revolutionsPerSecond) ? revolutionsPerSecond : 0.0;
}

void VirtualMagnet::setAngle(double revolutions) {
    baseNs_ = clock_.nowNs();
    baseAngle_ = std::isfinite(revolutions) ? wrapRevolutions(revolutions) : 0.0;
}

double VirtualMagnet::angle() const {
    return angleAt(clock_.nowNs());
}

double VirtualMagnet::angleAt(std::int64_t ns) const {
    const double seconds = static_cast<double>(ns - baseNs_) / 1e9;
    return wrapRevolutions(baseAngle_ + speedRps_ * seconds);
}

std::uint16_t VirtualMagnet::positionAt(std::int64_t ns) const {
    const double angle = angleAt(ns);
    const double error =
        eccentricityCounts_ * std::sin(kTwoPi * angle + eccentricityPhaseDeg_ * kTwoPi / 360.0);
    // The error may carry the position below 0 or past a whole turn: wrap it as the chip would.
    const auto counts = static_cast<long>(std::floor(angle * kCountsPerTurn + error));
    return static_cast<std::uint16_t>(counts & 0x0FFF);
}

void VirtualMagnet::setDistance(double millimetres) {
    distanceMm_ = std::isfinite(millimetres) ? std::max(millimetres, 0.0) : kNoFieldAboveMm * 2;
}

MagnetStatus VirtualMagnet::status() const {
    if (distanceMm_ < kTooCloseBelowMm) return MagnetStatus::TooClose;
    if (distanceMm_ <= kTooFarAboveMm) return MagnetStatus::InRange;
    if (distanceMm_ <= kNoFieldAboveMm) return MagnetStatus::TooFar;
    return MagnetStatus::Error;
}

std::uint8_t VirtualMagnet::agcGain() const {
    const double gain = std::floor(distanceMm_ / kFullGainMm * 15.0 + 0.5);
    return static_cast<std::uint8_t>(std::clamp(gain, 0.0, 15.0));
}

std::uint8_t VirtualMagnet::agcGainAt(std::int64_t ns) const {
    if (agcRipple_ == 0.0) return agcGain();
    const double gain = agcGain() + agcRipple_ * std::sin(kTwoPi * angleAt(ns));
    return static_cast<std::uint8_t>(std::clamp(std::floor(gain + 0.5), 0.0, 15.0));
}

void VirtualMagnet::setEccentricity(double amplitudeCounts, double phaseDegrees) {
    eccentricityCounts_ = std::clamp(finiteOr(amplitudeCounts, 0.0), -2048.0, 2048.0);
    eccentricityPhaseDeg_ = finiteOr(phaseDegrees, 0.0);
}

void VirtualMagnet::setAgcRipple(double amplitudeLevels) {
    agcRipple_ = std::clamp(finiteOr(amplitudeLevels, 0.0), 0.0, 15.0);
}

}  // namespace qe::sim
