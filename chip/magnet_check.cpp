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

double wrappedStep(int from, int to) {
    int step = (to - from) % kCountsPerTurn;
    if (step >= kCountsPerTurn / 2) step -= kCountsPerTurn;
    if (step < -kCountsPerTurn / 2) step += kCountsPerTurn;
    return step;
}

double positionToRadians(double counts) {
    return counts * kTwoPi / kCountsPerTurn;
}

double normalisedDegrees(double radians) {
    double degrees = std::fmod(radians * 180.0 / std::numbers::pi, 360.0);
    if (degrees < 0.0) degrees += 360.0;
    return degrees >= 360.0 ? 0.0 : degrees;
}

// Least squares fit of y to the given basis functions; the rows hold the functions' values.
// Solved by the normal equations, which are small and well conditioned for these bases.
std::vector<double> leastSquares(const std::vector<std::vector<double>>& rows,
                                 const std::vector<double>& y) {
    const std::size_t n = rows.empty() ? 0 : rows.front().size();
    std::vector<std::vector<double>> a(n, std::vector<double>(n + 1, 0.0));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) a[i][j] += rows[r][i] * rows[r][j];
            a[i][n] += rows[r][i] * y[r];
        }
    }
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < n; ++r)
            if (std::abs(a[r][col]) > std::abs(a[pivot][col])) pivot = r;
        std::swap(a[col], a[pivot]);
        if (std::abs(a[col][col]) < 1e-12) return std::vector<double>(n, 0.0);
        for (std::size_t r = 0; r < n; ++r) {
            if (r == col) continue;
            const double factor = a[r][col] / a[col][col];
            for (std::size_t c = col; c <= n; ++c) a[r][c] -= factor * a[col][c];
        }
    }
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = a[i][n] / a[i][i];
    return x;
}

Harmonic harmonicOf(double cosCoefficient, double sinCoefficient) {
    // a cos x + b sin x == A sin(x + phase) with A cos(phase) = b and A sin(phase) = a.
    return {std::hypot(cosCoefficient, sinCoefficient),
            normalisedDegrees(std::atan2(cosCoefficient, sinCoefficient))};
}

struct RotationFit {
    double offset = 0.0;  // counts at time 0
    double slope = 0.0;   // counts per second
    Harmonic first;
    Harmonic second;
    std::vector<double> harmonicCounts;  // the fitted harmonics at each sample
};

// The unwrapped position as a steady rotation plus once- and twice-per-turn errors. The angle
// of the harmonics is first the measured one, then the fitted rotation's, which carries no error.
RotationFit fitRotation(const std::vector<double>& t, const std::vector<double>& u,
                        const std::vector<double>& measuredRadians) {
    std::vector<double> angle = measuredRadians;
    RotationFit fit;
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<std::vector<double>> rows;
        rows.reserve(t.size());
        for (std::size_t i = 0; i < t.size(); ++i)
            rows.push_back({1.0, t[i], std::cos(angle[i]), std::sin(angle[i]),
                            std::cos(2 * angle[i]), std::sin(2 * angle[i])});
        const auto c = leastSquares(rows, u);
        fit.offset = c[0];
        fit.slope = c[1];
        fit.first = harmonicOf(c[2], c[3]);
        fit.second = harmonicOf(c[4], c[5]);
        fit.harmonicCounts.assign(t.size(), 0.0);
        for (std::size_t i = 0; i < t.size(); ++i) {
            fit.harmonicCounts[i] =
                rows[i][2] * c[2] + rows[i][3] * c[3] + rows[i][4] * c[4] + rows[i][5] * c[5];
            angle[i] = positionToRadians(fit.offset + fit.slope * t[i]);
        }
    }
    return fit;
}

// Largest deviation from the mean, in percent of the mean.
double peakDeviationPercent(const std::vector<double>& values) {
    if (values.empty()) return 0.0;
    double mean = 0.0;
    for (double v : values) mean += v;
    mean /= static_cast<double>(values.size());
    if (mean == 0.0) return 0.0;
    double peak = 0.0;
    for (double v : values) peak = std::max(peak, std::abs(v - mean));
    return peak / std::abs(mean) * 100.0;
}

// Speeds over quarter turns of the position with the fitted harmonics taken out, so that a
// once-per-turn error does not pass for an uneven speed.
double sampledSpeedVariation(const std::vector<double>& t, const std::vector<double>& steady) {
    std::vector<double> speeds;
    for (std::size_t i = 0, j = 1; i < t.size(); ++i) {
        j = std::max(j, i + 1);
        while (j < t.size() && std::abs(steady[j] - steady[i]) < kCountsPerTurn / 4.0) ++j;
        if (j >= t.size()) break;
        if (t[j] > t[i]) speeds.push_back((steady[j] - steady[i]) / (t[j] - t[i]));
    }
    return peakDeviationPercent(speeds);
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
    return peakDeviationPercent(hertz);
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

void judgeAccuracy(MagnetReport& r, const MagnetLimits& limits) {
    if (!r.accuracyReliable) {
        r.advice.push_back("The speed varied by " + fixed(r.speedVariationPercent, 1) +
                           " %: turn the shaft at a steady speed (a motor) for the accuracy "
                           "figures");
        return;
    }
    const double peakDeg = countsToDegrees(r.errorPeakCounts);
    if (peakDeg > limits.goodErrorDeg) {
        r.verdict = worse(r.verdict, peakDeg > limits.marginalErrorDeg ? MagnetVerdict::Bad
                                                                       : MagnetVerdict::Marginal);
        if (r.errorFirst.amplitude >= r.errorSecond.amplitude)
            r.advice.push_back("The position is off by up to " +
                               fixed(countsToDegrees(r.errorFirst.amplitude), 2) +
                               "\u00B0 once per turn: the magnet is off-centre");
        else
            r.advice.push_back("The position is off by up to " +
                               fixed(countsToDegrees(r.errorSecond.amplitude), 2) +
                               "\u00B0 twice per turn: the magnet is tilted or its field uneven");
    }
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
    const auto agcFit = leastSquares(agcRows, agc);
    r.agcRipple = harmonicOf(agcFit[1], agcFit[2]);

    const RotationFit fit = fitRotation(t, u, measured);
    r.speedRpm = fit.slope / kCountsPerTurn * 60.0;
    std::vector<double> steady(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double error = u[i] - (fit.offset + fit.slope * t[i]);
        r.errorPeakCounts = std::max(r.errorPeakCounts, std::abs(error));
        steady[i] = u[i] - fit.harmonicCounts[i];
        r.points.push_back({countsToDegrees(samples_[i].position), samples_[i].agcLevel,
                            samples_[i].magnetStatus, error});
    }
    r.errorFirst = fit.first;
    r.errorSecond = fit.second;
    r.speedVariationPercent = std::max(
        sampledSpeedVariation(t, steady),
        tachoSpeedVariation({samples_.begin(), samples_.begin() + static_cast<long>(count)}));
    r.accuracyReliable = r.speedVariationPercent <= limits_.maxSpeedVariationPercent;

    judgeField(r, limits_);
    judgeAccuracy(r, limits_);
    if (r.advice.empty()) r.advice.push_back("The magnet is centred, level and at a good distance");
    return {r, {}};
}

}  // namespace qe::chip
