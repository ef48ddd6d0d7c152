#include "magnet_check.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qe::chip {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Fewer samples a turn cannot tell a twice-per-turn error from noise.
constexpr double kMinSamplesPerTurn = 8.0;
// A larger step between two readouts could be a step the other way round.
constexpr double kMaxStepCounts = kCountsPerTurn / 4.0;
// The tacho's own steps are too coarse below this many counts to judge the speed by.
constexpr double kMinTachoRaw = 50.0;
constexpr std::size_t kMaxListedAngles = 16;
constexpr double kHarmonicNoiseFactor = 4.0;
// With more readouts far off the rest, the rest is no steady rotation to measure against.
constexpr double kMostSetAsideShare = 0.2;
// Whole counts alone scatter by this much (a uniform rounding error of up to half a count).
constexpr double kRoundingNoiseCounts = 0.29;

double positionToRadians(double counts) {
    return counts * kTwoPi / kCountsPerTurn;
}

// How far the speeds stray from their median, in percent of it: the 5th and 95th percentile,
// so that one uneven stamp does not pass for an uneven shaft.
double speedSpreadPercent(const std::vector<double>& values) {
    if (values.empty()) return 0.0;
    const double median = percentile(values, 50.0);
    if (median == 0.0) return 0.0;
    const double spread = std::max(std::abs(percentile(values, 95.0) - median),
                                   std::abs(percentile(values, 5.0) - median));
    return spread / std::abs(median) * 100.0;
}

// Speeds over quarter turns of the position with the fitted harmonics taken out, so that a
// once-per-turn error does not pass for an uneven speed. Readouts the fit set aside are skipped.
double sampledSpeedVariation(const std::vector<double>& t, const std::vector<double>& steady,
                             const std::vector<bool>& setAside) {
    std::vector<double> speeds;
    for (std::size_t i = 0, j = 1; i < t.size(); ++i) {
        if (setAside[i]) continue;
        j = std::max(j, i + 1);
        while (j < t.size() &&
               (setAside[j] || std::abs(steady[j] - steady[i]) < kCountsPerTurn / 4.0))
            ++j;
        if (j >= t.size()) break;
        if (t[j] > t[i]) speeds.push_back((steady[j] - steady[i]) / (t[j] - t[i]));
    }
    return speedSpreadPercent(speeds);
}

double tachoSpeedVariation(const std::vector<MagnetSample>& samples) {
    std::vector<double> hertz;
    double rawSum = 0.0;
    for (const auto& s : samples) {
        if (s.tachoAlarm) return 0.0;  // saturated: says nothing about steadiness
        hertz.push_back(s.tachoHz);
        rawSum += s.tachoRaw;
    }
    if (hertz.empty() || rawSum / static_cast<double>(hertz.size()) < kMinTachoRaw) return 0.0;
    return speedSpreadPercent(hertz);
}

MagnetVerdict worse(MagnetVerdict a, MagnetVerdict b) {
    return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

std::string fixed(double value, int decimals) {
    return formatFixed(std::abs(value), decimals);
}

void judgeField(MagnetReport& r, const MagnetLimits& limits) {
    if (r.agcMax >= limits.agcHighLimit) {
        r.verdict = worse(r.verdict, MagnetVerdict::Bad);
        r.advice.push_back("AGC at its limit: the magnet is too far");
    } else if (r.agcMin <= limits.agcLowLimit) {
        r.verdict = worse(r.verdict, MagnetVerdict::Bad);
        r.advice.push_back("AGC at its lower limit: the magnet is too close");
    } else if (r.agcMax >= limits.agcHighLimit - limits.agcMargin) {
        r.verdict = worse(r.verdict, MagnetVerdict::Marginal);
        r.advice.push_back("AGC near its limit: the magnet is nearly too far");
    } else if (r.agcMin <= limits.agcLowLimit + limits.agcMargin) {
        r.verdict = worse(r.verdict, MagnetVerdict::Marginal);
        r.advice.push_back("AGC near its lower limit: the magnet is nearly too close");
    }

    if (r.agcRipple.amplitude > limits.goodAgcRipple) {
        r.verdict = worse(r.verdict, r.agcRipple.amplitude > limits.marginalAgcRipple
                                         ? MagnetVerdict::Bad
                                         : MagnetVerdict::Marginal);
        r.advice.push_back("AGC ripples by " + fixed(r.agcRipple.amplitude, 1) +
                           " once per turn: the magnet is tilted or wobbles");
    }

    const int outside = r.samples - r.statusCounts[0];
    if (outside > 0) {
        const bool many = outside > limits.badOutOfRangeShare * r.samples;
        r.verdict = worse(r.verdict, many ? MagnetVerdict::Bad : MagnetVerdict::Marginal);
        std::string where;
        for (double angle : r.outOfRangeAnglesDeg)
            where += (where.empty() ? "" : ", ") + formatFixed(angle, 0) + "\u00B0";
        r.advice.push_back("The magnet left its range in " + std::to_string(outside) + " of " +
                           std::to_string(r.samples) + " readouts" +
                           (where.empty() ? std::string() : " (at " + where + ")"));
    }
}

MagnetVerdict errorLevel(double counts, const MagnetLimits& limits) {
    const double degrees = countsToDegrees(counts);
    if (degrees > limits.marginalErrorDeg) return MagnetVerdict::Bad;
    if (degrees > limits.goodErrorDeg) return MagnetVerdict::Marginal;
    return MagnetVerdict::Good;
}

std::string degreesText(double counts) {
    return fixed(countsToDegrees(counts), 2) + "\u00B0";
}

const char* kOnceAdvice = " once per turn: the magnet is off-centre";
const char* kTwiceAdvice = " twice per turn: the magnet is tilted or its field uneven";

// Judged on the two harmonics and on the error most readouts stay within; a harmonic within
// its noise is no fault. The advice names the figures that set the verdict.
void judgeAccuracy(MagnetReport& r, const MagnetLimits& limits) {
    if (r.setAside > kMostSetAsideShare * r.samples) {
        r.advice.push_back(std::to_string(r.setAside) + " of " + std::to_string(r.samples) +
                           " readouts are far off a steady rotation: turn the shaft at a steady "
                           "speed (a motor) for the accuracy figures");
        return;
    }
    if (!r.accuracyReliable) {
        r.advice.push_back("The speed varied by " + fixed(r.speedVariationPercent, 1) +
                           " %: turn the shaft at a steady speed (a motor) for the accuracy "
                           "figures");
        return;
    }
    const auto harmonicLevel = [&](const Harmonic& h) {
        return h.amplitude > r.harmonicNoiseCounts ? errorLevel(h.amplitude, limits)
                                                   : MagnetVerdict::Good;
    };
    const MagnetVerdict once = harmonicLevel(r.errorFirst);
    const MagnetVerdict twice = harmonicLevel(r.errorSecond);
    const MagnetVerdict spread = errorLevel(r.errorPercentileCounts, limits);
    const MagnetVerdict level = worse(worse(once, twice), spread);
    if (level == MagnetVerdict::Good) return;
    r.verdict = worse(r.verdict, level);
    if (once == level)
        r.advice.push_back("The position is off by up to " + degreesText(r.errorFirst.amplitude) +
                           kOnceAdvice);
    if (twice == level)
        r.advice.push_back("The position is off by up to " + degreesText(r.errorSecond.amplitude) +
                           kTwiceAdvice);
    if (once == level || twice == level) return;
    // Neither harmonic alone: the error most readouts stay within set it. Say which part of
    // it the mounting explains, where a harmonic stands out of the noise.
    std::string text = "The position is off by up to " + degreesText(r.errorPercentileCounts) +
                       " in " + formatFixed(kErrorPercentile, 0) + " % of the readouts";
    const Harmonic& larger =
        r.errorFirst.amplitude >= r.errorSecond.amplitude ? r.errorFirst : r.errorSecond;
    if (larger.amplitude > r.harmonicNoiseCounts)
        text += ", " + degreesText(larger.amplitude) +
                (&larger == &r.errorFirst ? kOnceAdvice : kTwiceAdvice);
    else
        text +=
            ", with no pattern once or twice per turn: the readouts scatter (a weak field, "
            "a shaking shaft or uneven readout times)";
    r.advice.push_back(text);
}

}  // namespace

MagnetSample magnetSample(const Readout& readout, double seconds) {
    MagnetSample s;
    s.seconds = seconds;
    s.position = readout.absolute;
    s.agcLevel = static_cast<int>(std::lround(readout.agcPercent * 16.0 / 100.0));
    s.magnetStatus = readout.magnetStatus;
    s.tachoHz = readout.hertz;
    s.tachoRaw = static_cast<int>(std::lround(readout.tachoFraction * 1024.0));
    s.tachoAlarm = readout.tachoAlarm;
    return s;
}

const char* verdictText(MagnetVerdict verdict) {
    switch (verdict) {
        case MagnetVerdict::Good:
            return "good";
        case MagnetVerdict::Marginal:
            return "marginal";
        case MagnetVerdict::Bad:
            return "bad";
    }
    return "bad";
}

MagnetCheck::MagnetCheck(int turns, MagnetLimits limits)
    : turns_(std::max(turns, 1)), limits_(limits) {}

void MagnetCheck::add(const MagnetSample& sample) {
    const double unwrapped =
        samples_.empty()
            ? sample.position
            : unwrapped_.back() + wrappedStep(samples_.back().position, sample.position);
    samples_.push_back(sample);
    unwrapped_.push_back(unwrapped);
    // Kept as the samples come: the progress is asked after each one.
    farthestCounts_ = std::max(farthestCounts_, std::abs(unwrapped - unwrapped_.front()));
}

void MagnetCheck::add(const ReadoutSample& sample) {
    if (!firstRequestNs_) firstRequestNs_ = sample.requestNs;
    add(magnetSample(sample.readout,
                     static_cast<double>(sample.requestNs - *firstRequestNs_) / 1e9));
}

double MagnetCheck::turnsDone() const {
    return farthestCounts_ / kCountsPerTurn;
}

MagnetCheckResult MagnetCheck::result() const {
    // The analysed samples end where the shaft has first turned the wanted whole turns, so that
    // once-per-turn effects average out in the fitted rotation.
    std::size_t end = 0;
    while (end < unwrapped_.size() &&
           std::abs(unwrapped_[end] - unwrapped_.front()) < turns_ * kCountsPerTurn)
        ++end;
    if (end >= unwrapped_.size()) {
        return {std::nullopt, "The shaft turned " + formatFixed(turnsDone(), 2) + " of " +
                                  std::to_string(turns_) + " turns"};
    }
    const std::size_t count = end + 1;
    for (std::size_t i = 1; i < count; ++i) {
        if (std::abs(unwrapped_[i] - unwrapped_[i - 1]) > kMaxStepCounts)
            return {std::nullopt, "The shaft turned too fast to follow: turn it more slowly"};
    }
    if (static_cast<double>(count) < kMinSamplesPerTurn * turns_) {
        return {std::nullopt, "Too few readouts (" + std::to_string(count) + " for " +
                                  std::to_string(turns_) + " turns): turn the shaft more slowly"};
    }

    MagnetReport r;
    r.turns = turns_;
    r.samples = static_cast<int>(count);
    r.durationSeconds = samples_[end].seconds - samples_.front().seconds;

    std::vector<double> t(count), u(count), measured(count);
    std::vector<std::vector<double>> agcRows;
    std::vector<double> agc;
    double agcSum = 0.0;
    r.agcMin = r.agcMax = samples_.front().agcLevel;
    for (std::size_t i = 0; i < count; ++i) {
        const MagnetSample& s = samples_[i];
        t[i] = s.seconds - samples_.front().seconds;
        u[i] = unwrapped_[i];
        measured[i] = positionToRadians(s.position);
        r.agcMin = std::min(r.agcMin, s.agcLevel);
        r.agcMax = std::max(r.agcMax, s.agcLevel);
        agcSum += s.agcLevel;
        agcRows.push_back({1.0, std::cos(measured[i]), std::sin(measured[i])});
        agc.push_back(s.agcLevel);
        r.statusCounts[static_cast<std::size_t>(std::clamp(s.magnetStatus, 0, 3))]++;
        const bool leftRange = s.magnetStatus != 0 && (i == 0 || samples_[i - 1].magnetStatus == 0);
        if (leftRange && r.outOfRangeAnglesDeg.size() < kMaxListedAngles)
            r.outOfRangeAnglesDeg.push_back(countsToDegrees(s.position));
    }
    r.agcMean = agcSum / static_cast<double>(count);
    const auto agcFit = weightedLeastSquares(agcRows, agc, std::vector<double>(count, 1.0));
    r.agcRipple = harmonicOf(agcFit[1], agcFit[2]);

    const RotationFit fit = fitRotation(t, u, measured);
    r.speedRpm = fit.slope / kCountsPerTurn * 60.0;
    std::vector<double> steady(count);
    std::vector<double> errors;  // of the readouts the fit kept
    for (std::size_t i = 0; i < count; ++i) {
        const double error = u[i] - (fit.offset + fit.slope * t[i]);
        if (!fit.setAside[i]) errors.push_back(std::abs(error));
        steady[i] = u[i] - fit.harmonicCounts[i];
        r.setAside += fit.setAside[i] ? 1 : 0;
        r.points.push_back({countsToDegrees(samples_[i].position), samples_[i].agcLevel,
                            samples_[i].magnetStatus, error, fit.setAside[i]});
    }
    r.errorFirst = fit.first;
    r.errorSecond = fit.second;
    for (const MagnetPoint& p : r.points)
        r.errorPeakCounts = std::max(r.errorPeakCounts, std::abs(p.errorCounts));
    r.errorPercentileCounts = percentile(errors, kErrorPercentile);
    r.noiseCounts = fit.noiseCounts;
    // A harmonic's coefficients scatter by noise * sqrt(2 / n) each; their amplitude stays
    // below kHarmonicNoiseFactor times that but for one time in a few thousand.
    const double weighted = static_cast<double>(count) - r.setAside;
    r.harmonicNoiseCounts = kHarmonicNoiseFactor * std::max(fit.noiseCounts, kRoundingNoiseCounts) *
                            std::sqrt(2.0 / std::max(weighted, 1.0));
    r.speedVariationPercent = std::max(
        sampledSpeedVariation(t, steady, fit.setAside),
        tachoSpeedVariation({samples_.begin(), samples_.begin() + static_cast<long>(count)}));
    r.accuracyReliable = r.speedVariationPercent <= limits_.maxSpeedVariationPercent &&
                         r.setAside <= kMostSetAsideShare * static_cast<double>(count);

    judgeField(r, limits_);
    judgeAccuracy(r, limits_);
    if (r.advice.empty()) r.advice.push_back("The magnet is centred, level and at a good distance");
    return {r, {}};
}

}  // namespace qe::chip
