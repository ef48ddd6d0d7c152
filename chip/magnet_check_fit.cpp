#include "magnet_check_fit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "register_map.h"

namespace qe::chip {

namespace {

// A normal distribution's standard deviation from the median of the absolute deviations.
constexpr double kMadToSigma = 1.4826;
// Below this the spread is the positions' own rounding; weights on a tighter scale would set
// aside readouts for being a count off.
constexpr double kSmallestScaleCounts = 0.5;
// Huber first, so that the start does not hang on the outliers it should reject; then the
// bisquare, which gives readouts far off no weight at all.
constexpr int kHuberPasses = 3;
constexpr int kMostPasses = 30;
constexpr double kHuberTuning = 1.345;
constexpr double kBisquareTuning = 4.685;
constexpr double kWeightsSettled = 1e-6;

double normalisedDegrees(double radians) {
    double degrees = std::fmod(radians * 180.0 / std::numbers::pi, 360.0);
    if (degrees < 0.0) degrees += 360.0;
    return degrees >= 360.0 ? 0.0 : degrees;
}

double medianAbsolute(const std::vector<double>& values) {
    std::vector<double> magnitudes(values.size());
    std::transform(values.begin(), values.end(), magnitudes.begin(),
                   [](double v) { return std::abs(v); });
    return percentile(std::move(magnitudes), 50.0);
}

double robustWeight(double residual, double scale, bool bisquare) {
    const double z = std::abs(residual) / scale;
    if (!bisquare) return z <= kHuberTuning ? 1.0 : kHuberTuning / z;
    if (z >= kBisquareTuning) return 0.0;
    const double q = 1.0 - (z / kBisquareTuning) * (z / kBisquareTuning);
    return q * q;
}

}  // namespace

std::vector<double> weightedLeastSquares(const std::vector<std::vector<double>>& rows,
                                         const std::vector<double>& y,
                                         const std::vector<double>& weights) {
    // The normal equations: small and well conditioned for these bases.
    const std::size_t n = rows.empty() ? 0 : rows.front().size();
    std::vector<std::vector<double>> a(n, std::vector<double>(n + 1, 0.0));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const double w = weights[r];
        if (w <= 0.0) continue;
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) a[i][j] += w * rows[r][i] * rows[r][j];
            a[i][n] += w * rows[r][i] * y[r];
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

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    const double rank = std::ceil(p / 100.0 * static_cast<double>(values.size()));
    const auto index = static_cast<std::size_t>(
        std::clamp(rank - 1.0, 0.0, static_cast<double>(values.size() - 1)));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
    return values[index];
}

// Iteratively reweighted least squares. The harmonics' angle is first the measured one, then
// the fitted rotation's, which carries no error.
RotationFit fitRotation(const std::vector<double>& t, const std::vector<double>& u,
                        const std::vector<double>& measuredRadians) {
    const std::size_t n = t.size();
    std::vector<double> angle = measuredRadians;
    std::vector<double> weights(n, 1.0);
    std::vector<std::vector<double>> rows(n);
    std::vector<double> c;
    RotationFit fit;
    fit.residualCounts.assign(n, 0.0);
    double scale = kSmallestScaleCounts;
    for (int pass = 0; pass < kMostPasses; ++pass) {
        for (std::size_t i = 0; i < n; ++i)
            rows[i] = {1.0,
                       t[i],
                       std::cos(angle[i]),
                       std::sin(angle[i]),
                       std::cos(2 * angle[i]),
                       std::sin(2 * angle[i])};
        c = weightedLeastSquares(rows, u, weights);
        for (std::size_t i = 0; i < n; ++i) {
            double model = 0.0;
            for (std::size_t k = 0; k < c.size(); ++k) model += rows[i][k] * c[k];
            fit.residualCounts[i] = u[i] - model;
            angle[i] = (c[0] + c[1] * t[i]) * 2.0 * std::numbers::pi / kCountsPerTurn;
        }
        scale = std::max(kMadToSigma * medianAbsolute(fit.residualCounts), kSmallestScaleCounts);
        double change = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double w = robustWeight(fit.residualCounts[i], scale, pass >= kHuberPasses);
            change = std::max(change, std::abs(w - weights[i]));
            weights[i] = w;
        }
        if (pass > kHuberPasses && change < kWeightsSettled) break;
    }
    fit.offset = c[0];
    fit.slope = c[1];
    fit.first = harmonicOf(c[2], c[3]);
    fit.second = harmonicOf(c[4], c[5]);
    fit.harmonicCounts.assign(n, 0.0);
    fit.setAside.assign(n, false);
    for (std::size_t i = 0; i < n; ++i) {
        fit.harmonicCounts[i] =
            rows[i][2] * c[2] + rows[i][3] * c[3] + rows[i][4] * c[4] + rows[i][5] * c[5];
        fit.setAside[i] = weights[i] == 0.0;
    }
    fit.noiseCounts = kMadToSigma * medianAbsolute(fit.residualCounts);
    return fit;
}

}  // namespace qe::chip
