#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "magnet_check.h"

namespace qe::chip {

namespace {

constexpr const char* kStatusKeys[4] = {"in_range", "too_close", "too_far", "error"};

// Rounded so that the JSON carries no more digits than the readings justify.
double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

// An angle rounded as the JSON carries it: 359.96 reads 0, not 360.
double roundedAngle(double degrees) {
    const double r = rounded(degrees, 1);
    return r >= 360.0 ? r - 360.0 : r;
}

std::string countsAndDegrees(double counts) {
    return formatFixed(counts, 1) + " counts (" + formatFixed(countsToDegrees(counts), 2) +
           "\u00B0)";
}

}  // namespace

std::string magnetReportText(const MagnetReport& r) {
    std::string text;
    auto line = [&text](const std::string& s) { text += s + "\n"; };
    line("Verdict: " + std::string(verdictText(r.verdict)));
    for (const auto& advice : r.advice) line("  " + advice);
    const MagnetCheckSource& source = r.source;
    line("Checked: " + source.date + ", tool " + source.toolVersion + ", adapter " +
         (source.adapterSerial.empty() ? std::string("unknown") : source.adapterSerial) +
         ", chip address " + std::to_string(source.chipAddress));
    if (!source.recording.empty()) line("From the recording " + source.recording);
    line("Turns: " + std::to_string(r.turns) + ", readouts: " + std::to_string(r.samples) + ", " +
         formatFixed(r.durationSeconds, 1) + " s");
    line("AGC: min " + std::to_string(r.agcMin) + ", max " + std::to_string(r.agcMax) + ", mean " +
         formatFixed(r.agcMean, 2) + ", ripple " + formatFixed(r.agcRipple.amplitude, 2) +
         " once per turn");
    line("Magnet status: " + std::to_string(r.statusCounts[0]) + " in range, " +
         std::to_string(r.statusCounts[1]) + " too close, " + std::to_string(r.statusCounts[2]) +
         " too far, " + std::to_string(r.statusCounts[3]) + " error");
    line("Speed: " + formatFixed(std::abs(r.speedRpm), 1) + " RPM" +
         (r.speedRpm < 0 ? " counter-clockwise" : "") + ", varied by " +
         formatFixed(r.speedVariationPercent, 1) + " %");
    const std::string unreliable = r.accuracyReliable ? "" : " (unreliable: uneven speed)";
    line("Error once per turn: " + countsAndDegrees(r.errorFirst.amplitude) + " at " +
         formatFixed(roundedAngle(r.errorFirst.phaseDeg), 1) + "\u00B0" + unreliable);
    line("Error twice per turn: " + countsAndDegrees(r.errorSecond.amplitude) + unreliable);
    line("Error in " + formatFixed(kErrorPercentile, 0) + " % of the readouts: up to " +
         countsAndDegrees(r.errorPercentileCounts) + unreliable);
    line("Noise: " + countsAndDegrees(r.noiseCounts) + "; a harmonic under " +
         formatFixed(r.harmonicNoiseCounts, 1) + " counts may be noise alone");
    line("Largest single error: " + countsAndDegrees(r.errorPeakCounts) + ", not judged; " +
         std::to_string(r.setAside) + " readouts far off the rest set aside");
    return text;
}

std::string magnetReportJson(const MagnetReport& r) {
    QJsonObject status;
    for (std::size_t i = 0; i < 4; ++i) status[kStatusKeys[i]] = r.statusCounts[i];
    QJsonArray angles;
    for (double a : r.outOfRangeAnglesDeg) angles.append(rounded(a, 1));
    QJsonArray advice;
    for (const auto& a : r.advice) advice.append(QString::fromStdString(a));

    QJsonObject o;
    o["turns"] = r.turns;
    o["samples"] = r.samples;
    o["duration_s"] = rounded(r.durationSeconds, 3);
    o["agc_min"] = r.agcMin;
    o["agc_max"] = r.agcMax;
    o["agc_mean"] = rounded(r.agcMean, 2);
    o["agc_ripple"] = rounded(r.agcRipple.amplitude, 2);
    o["agc_ripple_phase_deg"] = roundedAngle(r.agcRipple.phaseDeg);
    o["status_counts"] = status;
    o["out_of_range_angles_deg"] = angles;
    o["speed_rpm"] = rounded(r.speedRpm, 2);
    o["speed_variation_percent"] = rounded(r.speedVariationPercent, 2);
    o["accuracy_reliable"] = r.accuracyReliable;
    o["error_first_harmonic_counts"] = rounded(r.errorFirst.amplitude, 2);
    o["error_first_harmonic_deg"] = rounded(countsToDegrees(r.errorFirst.amplitude), 3);
    o["error_first_harmonic_phase_deg"] = roundedAngle(r.errorFirst.phaseDeg);
    o["error_second_harmonic_counts"] = rounded(r.errorSecond.amplitude, 2);
    o["error_second_harmonic_deg"] = rounded(countsToDegrees(r.errorSecond.amplitude), 3);
    o["error_percentile"] = kErrorPercentile;
    o["error_percentile_counts"] = rounded(r.errorPercentileCounts, 2);
    o["error_percentile_deg"] = rounded(countsToDegrees(r.errorPercentileCounts), 3);
    o["noise_counts"] = rounded(r.noiseCounts, 2);
    o["harmonic_noise_counts"] = rounded(r.harmonicNoiseCounts, 2);
    o["set_aside"] = r.setAside;
    o["error_peak_counts"] = rounded(r.errorPeakCounts, 2);
    o["error_peak_deg"] = rounded(countsToDegrees(r.errorPeakCounts), 3);
    o["verdict"] = verdictText(r.verdict);
    o["date"] = QString::fromStdString(r.source.date);
    o["tool_version"] = QString::fromStdString(r.source.toolVersion);
    o["adapter_serial"] = QString::fromStdString(r.source.adapterSerial);
    o["chip_address"] = r.source.chipAddress;
    if (!r.source.recording.empty()) o["recording"] = QString::fromStdString(r.source.recording);
    o["advice"] = advice;
    return QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace qe::chip
