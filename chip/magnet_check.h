#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "magnet_check_fit.h"
#include "readout.h"
#include "readout_sample.h"

namespace qe::chip {

// One readout as the mounting check needs it.
struct MagnetSample {
    double seconds = 0.0;  // when the chip was asked, from any fixed start
    int position = 0;      // AbsPos, 0..4095 whatever the resolution
    int agcLevel = 0;      // AgcGain plus bit 14 of word 34: 0..16
    int magnetStatus = 0;  // 0 in range, 1 too close, 2 too far, 3 error
    double tachoHz = 0.0;  // the chip's own speed, unsigned
    int tachoRaw = 0;      // Tacho, 0..1023
    bool tachoAlarm = false;
};

MagnetSample magnetSample(const Readout& readout, double seconds);

enum class MagnetVerdict { Good, Marginal, Bad };
const char* verdictText(MagnetVerdict verdict);  // "good", "marginal", "bad"

// One sample of the analysed turns, for a polar chart.
struct MagnetPoint {
    double angleDeg = 0.0;  // the measured position
    int agcLevel = 0;
    int magnetStatus = 0;
    double errorCounts = 0.0;  // against the steady rotation fitted to the samples
    bool setAside = false;     // so far off the rest that the fit gave it no weight
};

// Where and when the readouts were taken, so that checks can be compared later.
struct MagnetCheckSource {
    std::string date;  // UTC, as a recording's time stamps: "2026-12-10T14:56:09.123Z"
    std::string toolVersion;
    std::string adapterSerial;
    int chipAddress = 0;
    std::string recording;  // the file analysed; empty for a live check
};

struct MagnetReport {
    int turns = 0;
    int samples = 0;
    double durationSeconds = 0.0;

    // Field.
    int agcMin = 0;
    int agcMax = 0;
    double agcMean = 0.0;
    Harmonic agcRipple;  // once per turn: a tilted or wobbling magnet
    std::array<int, 4> statusCounts{};
    std::vector<double> outOfRangeAnglesDeg;  // where the status left "in range"

    // Accuracy: the position against a steady rotation fitted to the samples.
    double speedRpm = 0.0;  // signed: negative turns counter-clockwise
    double speedVariationPercent = 0.0;
    bool accuracyReliable = false;       // the speed was steady enough
    Harmonic errorFirst;                 // an off-centre magnet
    Harmonic errorSecond;                // a tilted magnet or an uneven field
    double errorPercentileCounts = 0.0;  // kErrorPercentile of the readouts are within this
    double errorPeakCounts = 0.0;        // the largest single error, shown but not judged
    double noiseCounts = 0.0;            // spread of the readouts about the fitted errors
    double harmonicNoiseCounts = 0.0;    // a harmonic this small may be noise alone
    int setAside = 0;                    // readouts the fit gave no weight

    MagnetVerdict verdict = MagnetVerdict::Good;
    std::vector<std::string> advice;
    std::vector<MagnetPoint> points;
    MagnetCheckSource source;
};

inline constexpr double kErrorPercentile = 95.0;

// The verdict's limits; the README explains them.
struct MagnetLimits {
    double goodErrorDeg = 0.5;
    double marginalErrorDeg = 1.0;
    double goodAgcRipple = 0.75;
    double marginalAgcRipple = 1.5;
    int agcLowLimit = 0;
    int agcHighLimit = 15;
    int agcMargin = 2;                      // this close to a limit is marginal
    double maxSpeedVariationPercent = 5.0;  // between the 5th and 95th percentile of speeds
    double badOutOfRangeShare = 0.05;
};

inline double countsToDegrees(double counts) {
    return counts * 360.0 / kCountsPerTurn;
}

struct MagnetCheckResult {
    std::optional<MagnetReport> report;
    std::string error;  // why there is no report
};

// Collects readouts while the shaft turns and judges the magnet once enough whole turns
// have been seen. Needs nothing but the readouts the tool already makes.
class MagnetCheck {
public:
    explicit MagnetCheck(int turns = 2, MagnetLimits limits = {});

    void add(const MagnetSample& sample);
    // A readout of the readout loop, timed by when its request left for the chip (the chip
    // samples then, however late the reply), from the first readout added.
    void add(const ReadoutSample& sample);
    int turnsWanted() const { return turns_; }
    // Whole and partial turns seen so far, in either direction.
    double turnsDone() const;
    bool complete() const { return turnsDone() >= turns_; }

    [[nodiscard]] MagnetCheckResult result() const;

private:
    int turns_;
    MagnetLimits limits_;
    std::vector<MagnetSample> samples_;
    std::vector<double> unwrapped_;  // position with the turns counted, in counts
    double farthestCounts_ = 0.0;    // from the first sample, either way
    std::optional<std::int64_t> firstRequestNs_;
};

// The report as plain text lines and as one JSON object.
std::string magnetReportText(const MagnetReport& report);
std::string magnetReportJson(const MagnetReport& report);

}  // namespace qe::chip
