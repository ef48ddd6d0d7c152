#pragma once

#include <vector>

namespace qe::chip {

// A once- or twice-per-turn component: amplitude * sin(k * angle + phase).
struct Harmonic {
    double amplitude = 0.0;
    double phaseDeg = 0.0;  // 0 <= phase < 360
};

// Least squares fit of y to the given basis functions, each row weighted; the rows hold the
// functions' values. All zeros when the rows cannot tell the functions apart.
std::vector<double> weightedLeastSquares(const std::vector<std::vector<double>>& rows,
                                         const std::vector<double>& y,
                                         const std::vector<double>& weights);

// a cos x + b sin x as one sine.
Harmonic harmonicOf(double cosCoefficient, double sinCoefficient);

// The unwrapped position as a steady rotation plus once- and twice-per-turn errors, fitted so
// that a few readouts far off the rest (a stale reply, a late stamp) carry no weight.
struct RotationFit {
    double offset = 0.0;  // counts at time 0
    double slope = 0.0;   // counts per second
    Harmonic first;
    Harmonic second;
    std::vector<double> harmonicCounts;  // the fitted harmonics at each readout
    std::vector<double> residualCounts;  // what neither the rotation nor the harmonics explain
    std::vector<bool> setAside;          // readouts that carry no weight in the fit
    double noiseCounts = 0.0;            // robust spread of the residuals, as a standard deviation
};

RotationFit fitRotation(const std::vector<double>& seconds, const std::vector<double>& counts,
                        const std::vector<double>& measuredRadians);

// The p-th percentile (0..100) by nearest rank; 0 for no values.
double percentile(std::vector<double> values, double p);

}  // namespace qe::chip
