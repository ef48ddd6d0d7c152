#pragma once

#include <cstdint>

#include "clock.h"

namespace qe::sim {

// The simulated chip measures a turn in this many counts.
inline constexpr int kCountsPerTurn = 4096;

// The field the chip's sensor sees, as the chip reports it in MagnetStatus.
enum class MagnetStatus : std::uint8_t {
    InRange = 0,
    TooClose = 1,
    TooFar = 2,
    Error = 3,  // no usable field at all
};

// The magnet above the chips: an angle turning at a settable speed over the clock's time,
// and a distance from the chip that decides the magnet status and the AGC gain.
class VirtualMagnet {
public:
    // Distances in millimetres. Between kTooCloseBelowMm and kTooFarAboveMm the magnet is in
    // range; beyond kNoFieldAboveMm the chip sees no usable field.
    static constexpr double kTooCloseBelowMm = 0.5;
    static constexpr double kTooFarAboveMm = 2.5;
    static constexpr double kNoFieldAboveMm = 6.0;
    static constexpr double kDefaultDistanceMm = 1.5;
    // The AGC gain reaches its top (15) at this distance.
    static constexpr double kFullGainMm = 3.0;

    explicit VirtualMagnet(Clock& clock);

    // Revolutions per second; negative turns counter-clockwise. The angle turned so far is kept.
    void setSpeed(double revolutionsPerSecond);
    double speed() const { return speedRps_; }

    // The angle now, in revolutions (0 <= angle < 1); setting it keeps the speed.
    void setAngle(double revolutions);
    double angle() const;
    double angleAt(std::int64_t ns) const;
    // The angle the chip measures at that time in 4096ths of a revolution, 0..4095: the true
    // angle plus the error of an off-centre magnet.
    std::uint16_t positionAt(std::int64_t ns) const;

    // Negative distances count as touching the chip.
    void setDistance(double millimetres);
    double distance() const { return distanceMm_; }

    MagnetStatus status() const;
    // 0..15, rising with the distance (a weaker field needs more gain).
    std::uint8_t agcGain() const;
    // The gain at that time, with the once-per-turn ripple of a tilted magnet.
    std::uint8_t agcGainAt(std::int64_t ns) const;

    // Mounting errors. An off-centre magnet adds amplitude * sin(angle + phase) counts to the
    // measured position; a tilted one makes the gain ripple by amplitude levels once per turn.
    void setEccentricity(double amplitudeCounts, double phaseDegrees);
    double eccentricityCounts() const { return eccentricityCounts_; }
    double eccentricityPhaseDegrees() const { return eccentricityPhaseDeg_; }
    void setAgcRipple(double amplitudeLevels);
    double agcRipple() const { return agcRipple_; }

private:
    Clock& clock_;
    double speedRps_ = 0.0;
    double baseAngle_ = 0.0;  // revolutions at baseNs_
    std::int64_t baseNs_ = 0;
    double distanceMm_ = kDefaultDistanceMm;
    double eccentricityCounts_ = 0.0;
    double eccentricityPhaseDeg_ = 0.0;
    double agcRipple_ = 0.0;
};

}  // namespace qe::sim
