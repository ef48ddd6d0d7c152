#include "virtual_magnet.h"

#include <algorithm>
#include <cmath>

namespace qe::sim {

namespace {
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
    const auto counts = static_cast<unsigned>(std::floor(angleAt(ns) * 4096.0));
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

}  // namespace qe::sim
