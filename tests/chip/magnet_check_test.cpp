#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>

#include "magnet_check.h"

namespace qe::chip {
namespace {

// A shaft turned through the readouts: the true angle over time, and what the chip makes of it.
struct Shaft {
    double turnsPerSecond = 1.0;
    double eccentricityCounts = 0.0;  // reported = true + A sin(angle + phase)
    double eccentricityPhaseDeg = 0.0;
    double secondHarmonicCounts = 0.0;  // a tilted magnet's error twice per turn
    double agcMean = 8.0;
    double agcRipple = 0.0;                     // once per turn
    std::function<double(double)> speedWobble;  // factor on the speed at a time, if any
    std::function<int(double)> status;          // by true angle in degrees, if any
};

std::vector<MagnetSample> turn(const Shaft& shaft, double seconds, double interval = 0.066) {
    std::vector<MagnetSample> samples;
    double revolutions = 0.1;  // a start away from zero
    for (double t = 0.0; t <= seconds; t += interval) {
        const double angle = revolutions * 2 * std::numbers::pi;
        const double reported =
            revolutions * kCountsPerTurn +
            shaft.eccentricityCounts *
                std::sin(angle + shaft.eccentricityPhaseDeg * std::numbers::pi / 180.0) +
            shaft.secondHarmonicCounts * std::sin(2 * angle);
        MagnetSample s;
        s.seconds = 100.0 + t;
        s.position = static_cast<int>(std::floor(reported)) & (kCountsPerTurn - 1);
        s.agcLevel =
            static_cast<int>(std::lround(shaft.agcMean + shaft.agcRipple * std::sin(angle)));
        const double degrees = std::fmod(std::fmod(revolutions, 1.0) + 1.0, 1.0) * 360.0;
        s.magnetStatus = shaft.status ? shaft.status(degrees) : 0;
        const double speed =
            shaft.turnsPerSecond * (shaft.speedWobble ? shaft.speedWobble(t) : 1.0);
        s.tachoRaw = static_cast<int>(std::lround(std::abs(speed) / 16.0 * 1024.0));
        s.tachoHz = s.tachoRaw / 1024.0 * 16.0;
        samples.push_back(s);
        revolutions += speed * interval;
    }
    return samples;
}

MagnetCheckResult check(const std::vector<MagnetSample>& samples, int turns = 2) {
    MagnetCheck c(turns);
    for (const auto& s : samples) c.add(s);
    return c.result();
}

struct RecoveryCase {
    const char* name;
    double turnsPerSecond;
    double eccentricity;
    double phaseDeg;
    double agcRipple;
};

class MagnetRecovery : public ::testing::TestWithParam<RecoveryCase> {};

TEST_P(MagnetRecovery, FindsTheMountingErrorsOfASteadyShaft) {
    const auto& c = GetParam();
    Shaft shaft;
    shaft.turnsPerSecond = c.turnsPerSecond;
    shaft.eccentricityCounts = c.eccentricity;
    shaft.eccentricityPhaseDeg = c.phaseDeg;
    shaft.agcRipple = c.agcRipple;
    const auto result = check(turn(shaft, 2.5 / std::abs(c.turnsPerSecond)));
    ASSERT_TRUE(result.report) << result.error;
    const MagnetReport& r = *result.report;

    EXPECT_TRUE(r.accuracyReliable) << r.speedVariationPercent;
    EXPECT_NEAR(r.speedRpm, c.turnsPerSecond * 60.0, 0.5);
    EXPECT_NEAR(r.errorFirst.amplitude, c.eccentricity, 1.0);
    if (c.eccentricity > 0) {
        const double phaseError = std::remainder(r.errorFirst.phaseDeg - c.phaseDeg, 360.0);
        EXPECT_NEAR(phaseError, 0.0, 4.0);
    }
    EXPECT_LT(r.errorSecond.amplitude, 1.0);
    EXPECT_NEAR(r.errorPeakCounts, c.eccentricity, 1.5);
    EXPECT_NEAR(r.agcRipple.amplitude, c.agcRipple, 0.4);
    EXPECT_NEAR(r.agcMean, 8.0, 0.3);
    EXPECT_EQ(r.agcMin, static_cast<int>(8 - std::lround(c.agcRipple)));
    EXPECT_EQ(r.agcMax, static_cast<int>(8 + std::lround(c.agcRipple)));
    EXPECT_EQ(r.statusCounts[0], r.samples);
}

INSTANTIATE_TEST_SUITE_P(Cases, MagnetRecovery,
                         ::testing::Values(RecoveryCase{"centred", 1.0, 0.0, 0.0, 0.0},
                                           RecoveryCase{"offCentreAndTilted", 1.0, 20.0, 30.0, 3.0},
                                           RecoveryCase{"backwards", -0.8, 12.0, 250.0, 1.0},
                                           RecoveryCase{"slow", 0.25, 6.0, 90.0, 2.0}),
                         [](const auto& info) { return std::string(info.param.name); });

// A steady rotation as the tool may read it: stamps off by a little (when the request really
// left) and now and then a readout far off (a stale reply, a stamp taken late).
struct RotationCase {
    const char* name;
    double turnsPerSecond;
    double eccentricity;
    double secondHarmonic;
    double agcRipple;
    double stampJitterMs;  // each stamp off by up to this, either way
    int outliers;          // readouts whose stamp is 30 ms late
    MagnetVerdict verdict;
    double firstNear;  // the once-per-turn error found, within 2 counts
    std::vector<std::string> adviceStarts;
};

class MagnetVerdicts : public ::testing::TestWithParam<RotationCase> {};

TEST_P(MagnetVerdicts, JudgeTheMountingAndNotTheOddReadout) {
    const auto& c = GetParam();
    Shaft shaft;
    shaft.turnsPerSecond = c.turnsPerSecond;
    shaft.eccentricityCounts = c.eccentricity;
    shaft.eccentricityPhaseDeg = 40.0;
    shaft.secondHarmonicCounts = c.secondHarmonic;
    shaft.agcRipple = c.agcRipple;
    auto samples = turn(shaft, 2.5 / c.turnsPerSecond, 0.05);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(-c.stampJitterMs / 1e3, c.stampJitterMs / 1e3);
    for (auto& s : samples) s.seconds += jitter(random);
    for (int k = 0; k < c.outliers; ++k)
        samples[static_cast<std::size_t>(5 + 9 * k)].seconds += 0.030;

    const auto result = check(samples);
    ASSERT_TRUE(result.report) << result.error;
    const MagnetReport& r = *result.report;
    EXPECT_EQ(r.verdict, c.verdict) << magnetReportText(r);
    EXPECT_TRUE(r.accuracyReliable) << r.speedVariationPercent;
    EXPECT_NEAR(r.errorFirst.amplitude, c.firstNear, 2.0);
    EXPECT_NEAR(r.errorSecond.amplitude, c.secondHarmonic, 2.0);
    EXPECT_GE(r.setAside, c.outliers);
    EXPECT_LE(r.setAside, c.outliers + 1);
    ASSERT_EQ(r.advice.size(), c.adviceStarts.size()) << magnetReportText(r);
    for (std::size_t i = 0; i < r.advice.size(); ++i)
        EXPECT_EQ(r.advice[i].rfind(c.adviceStarts[i], 0), 0u) << r.advice[i];
    // The noise floor is what the stamps and whole counts explain, no more.
    const double countsPerMs = c.turnsPerSecond * kCountsPerTurn / 1e3;
    EXPECT_LT(r.noiseCounts, 0.6 + countsPerMs * c.stampJitterMs);
}

const std::string kGood = "The magnet is centred, level and at a good distance";

INSTANTIATE_TEST_SUITE_P(
    Rotations, MagnetVerdicts,
    ::testing::Values(
        RotationCase{"perfectSlow", 0.5, 0, 0, 0, 0, 0, MagnetVerdict::Good, 0, {kGood}},
        RotationCase{"perfect", 1.0, 0, 0, 0, 0, 0, MagnetVerdict::Good, 0, {kGood}},
        RotationCase{"perfectFast", 1.5, 0, 0, 0, 0, 0, MagnetVerdict::Good, 0, {kGood}},
        RotationCase{"perfectJittered", 1.0, 0, 0, 0, 0.4, 0, MagnetVerdict::Good, 0, {kGood}},
        RotationCase{
            "perfectWithLateStamps", 1.5, 0, 0, 0, 0.2, 3, MagnetVerdict::Good, 0, {kGood}},
        RotationCase{"offCentre",
                     1.0,
                     20,
                     0,
                     0,
                     0.2,
                     0,
                     MagnetVerdict::Bad,
                     20,
                     {"The position is off by up to 1.76\u00B0 once per turn: the magnet is "
                      "off-centre"}},
        RotationCase{"offCentreWithLateStamps",
                     0.5,
                     20,
                     0,
                     0,
                     0.4,
                     3,
                     MagnetVerdict::Bad,
                     20,
                     {"The position is off by up to 1.7"}},
        RotationCase{"slightlyOffCentre",
                     1.0,
                     8,
                     0,
                     0,
                     0,
                     0,
                     MagnetVerdict::Marginal,
                     8,
                     {"The position is off by up to 0.7"}},
        RotationCase{"tilted",
                     1.0,
                     0,
                     9,
                     2,
                     0,
                     0,
                     MagnetVerdict::Bad,
                     0,
                     {"AGC ripples by 2.", "The position is off by up to 0.8"}},
        RotationCase{"bothJustGood",
                     1.0,
                     4.5,
                     3.5,
                     0,
                     0,
                     0,
                     MagnetVerdict::Marginal,
                     4.5,
                     {"The position is off by up to 0.6"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MagnetCheck, VerdictAndAdviceFollowTheLimits) {
    Shaft good;
    const auto ok = check(turn(good, 2.5));
    ASSERT_TRUE(ok.report);
    EXPECT_EQ(ok.report->verdict, MagnetVerdict::Good);
    EXPECT_EQ(ok.report->advice,
              std::vector<std::string>{"The magnet is centred, level and at a good distance"});

    Shaft offCentre;
    offCentre.eccentricityCounts = 20.0;
    const auto bad = check(turn(offCentre, 2.5));
    ASSERT_TRUE(bad.report);
    EXPECT_EQ(bad.report->verdict, MagnetVerdict::Bad);
    ASSERT_EQ(bad.report->advice.size(), 1u);
    EXPECT_NE(bad.report->advice[0].find("once per turn: the magnet is off-centre"),
              std::string::npos);

    Shaft far;
    far.agcMean = 15.0;
    const auto tooFar = check(turn(far, 2.5));
    ASSERT_TRUE(tooFar.report);
    EXPECT_EQ(tooFar.report->verdict, MagnetVerdict::Bad);
    EXPECT_EQ(tooFar.report->advice.front(), "AGC at its limit: the magnet is too far");

    Shaft nearlyFar;
    nearlyFar.agcMean = 13.0;
    const auto marginal = check(turn(nearlyFar, 2.5));
    ASSERT_TRUE(marginal.report);
    EXPECT_EQ(marginal.report->verdict, MagnetVerdict::Marginal);
}

TEST(MagnetCheck, UnevenSpeedMarksTheAccuracyUnreliable) {
    Shaft shaft;
    shaft.eccentricityCounts = 20.0;
    shaft.speedWobble = [](double t) {
        return 1.0 + 0.3 * std::sin(2 * std::numbers::pi * 0.37 * t);
    };
    const auto result = check(turn(shaft, 3.0));
    ASSERT_TRUE(result.report) << result.error;
    EXPECT_GT(result.report->speedVariationPercent, 5.0);
    EXPECT_FALSE(result.report->accuracyReliable);
    // Only the field is judged then; the advice says why the accuracy is missing.
    EXPECT_EQ(result.report->verdict, MagnetVerdict::Good);
    EXPECT_NE(result.report->advice.back().find("turn the shaft at a steady speed"),
              std::string::npos);
}

TEST(MagnetCheck, CountsWhereTheMagnetLeftItsRange) {
    Shaft shaft;
    shaft.status = [](double degrees) { return degrees >= 90.0 && degrees < 120.0 ? 2 : 0; };
    const auto result = check(turn(shaft, 2.5));
    ASSERT_TRUE(result.report);
    const auto& r = *result.report;
    EXPECT_GT(r.statusCounts[2], 0);
    EXPECT_EQ(r.statusCounts[0] + r.statusCounts[2], r.samples);
    ASSERT_EQ(r.outOfRangeAnglesDeg.size(), 2u);  // once per turn
    for (double angle : r.outOfRangeAnglesDeg) {
        EXPECT_GE(angle, 89.0);
        EXPECT_LT(angle, 121.0);
    }
    EXPECT_EQ(r.verdict, MagnetVerdict::Bad);  // more than 5 % of the readouts
}

TEST(MagnetCheck, RefusesWhatCannotBeJudged) {
    struct Case {
        const char* name;
        std::vector<MagnetSample> samples;
        const char* error;
    };
    Shaft slow;
    Shaft fast;
    fast.turnsPerSecond = 5.0;
    Shaft quick;
    quick.turnsPerSecond = 2.5;  // 6 readouts a turn
    const Case cases[] = {
        {"none", {}, "The shaft turned 0.00 of 2 turns"},
        {"notEnoughTurns", turn(slow, 1.2), "The shaft turned 1."},
        {"tooFewReadouts", turn(quick, 1.0), "Too few readouts"},
        {"tooFast", turn(fast, 1.0), "The shaft turned too fast to follow"},
    };
    for (const auto& c : cases) {
        const auto result = check(c.samples);
        EXPECT_FALSE(result.report) << c.name;
        EXPECT_EQ(result.error.rfind(c.error, 0), 0u) << c.name << ": " << result.error;
    }
}

TEST(MagnetCheck, ProgressCountsTurnsEitherWay) {
    Shaft backwards;
    backwards.turnsPerSecond = -1.0;
    const auto samples = turn(backwards, 2.5);
    MagnetCheck c(2);
    for (const auto& s : samples) {
        c.add(s);
        if (s.seconds - 100.0 < 1.5) {
            EXPECT_FALSE(c.complete());
        }
    }
    EXPECT_NEAR(c.turnsDone(), 2.5, 0.1);
    EXPECT_TRUE(c.complete());
}

TEST(MagnetReport, JsonCarriesTheNamedKeys) {
    Shaft shaft;
    shaft.eccentricityCounts = 20.0;
    shaft.agcRipple = 3.0;
    const auto result = check(turn(shaft, 2.5));
    ASSERT_TRUE(result.report);
    const std::string json = magnetReportJson(*result.report);
    for (const char* key :
         {"\"turns\": 2", "\"samples\"", "\"agc_min\": 5", "\"agc_max\": 11", "\"agc_mean\"",
          "\"agc_ripple\"", "\"status_counts\"", "\"in_range\"", "\"speed_variation_percent\"",
          "\"error_first_harmonic_counts\"", "\"error_first_harmonic_phase_deg\"",
          "\"error_second_harmonic_counts\"", "\"error_peak_counts\"", "\"verdict\": \"bad\""})
        EXPECT_NE(json.find(key), std::string::npos) << key << "\n" << json;
    const std::string text = magnetReportText(*result.report);
    EXPECT_EQ(text.rfind("Verdict: bad\n", 0), 0u) << text;
    EXPECT_NE(text.find("AGC: min 5, max 11"), std::string::npos) << text;
}

TEST(MagnetReport, APhaseJustBelowAFullTurnReadsZero) {
    MagnetReport r;
    r.errorFirst = {20.0, 359.97};
    r.agcRipple = {3.0, 359.99};
    EXPECT_NE(magnetReportJson(r).find("\"error_first_harmonic_phase_deg\": 0"), std::string::npos);
    EXPECT_NE(magnetReportJson(r).find("\"agc_ripple_phase_deg\": 0"), std::string::npos);
    EXPECT_NE(magnetReportText(r).find("at 0.0\u00B0"), std::string::npos);
}

}  // namespace
}  // namespace qe::chip
