#include "readout.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>
#include <vector>

namespace qe::chip {

namespace {

constexpr double kDegreesPerTurn = 360.0;
constexpr double kTachoSteps = 1024.0;
constexpr double kAgcSteps = 16.0;

// Digits after the point that write a finite double exactly: its lowest set bit is worth
// 2^-n, and 2^-n has exactly n decimals.
int exactDecimals(double magnitude) {
    if (magnitude == 0.0) return 0;
    int exponent = 0;
    double mantissa = std::frexp(magnitude, &exponent);  // magnitude = mantissa * 2^exponent
    int fractionBits = -exponent;
    while (mantissa != std::floor(mantissa)) {
        mantissa *= 2.0;
        ++fractionBits;
    }
    return fractionBits > 0 ? fractionBits : 0;
}

// Adds one unit in the last place of a run of decimal digits (and '.'), carrying leftwards.
// Returns whether the carry ran off the front.
bool incrementDigits(char* begin, char* end) {
    for (char* it = end; it != begin;) {
        --it;
        if (*it == '.') continue;
        if (*it != '9') {
            ++*it;
            return false;
        }
        *it = '0';
    }
    return true;
}

}  // namespace

void appendFixed(std::string& out, double value, int decimals) {
    if (decimals < 0) decimals = 0;
    if (!std::isfinite(value)) {
        out += std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
        return;
    }

    // Write the magnitude exactly (to_chars ignores the locale), then round half up by
    // the first dropped digit: with the exact expansion at hand that digit alone decides.
    // Readouts fit the buffer on the stack, so that recording allocates nothing per row.
    const double magnitude = std::fabs(value);
    const int exact = exactDecimals(magnitude);
    const std::size_t written = static_cast<std::size_t>(exact > decimals ? exact : decimals);
    std::array<char, 512> stack;
    std::vector<char> heap;  // for the rare tiny magnitude with a longer expansion
    char* begin = stack.data();
    std::size_t room = stack.size();
    if (written + 320 > room) {
        heap.resize(written + 320);
        begin = heap.data();
        room = heap.size();
    }
    const auto result = std::to_chars(begin, begin + room, magnitude, std::chars_format::fixed,
                                      static_cast<int>(written));
    if (result.ec != std::errc{}) {
        out += "nan";
        return;
    }
    const std::string_view text(begin, static_cast<std::size_t>(result.ptr - begin));

    std::size_t length = text.size();
    const std::size_t point = text.find('.');
    const std::size_t keep = decimals == 0 ? point : point + 1 + static_cast<std::size_t>(decimals);
    bool roundUp = false;
    if (point != std::string_view::npos && keep < text.size()) {
        const std::size_t firstDropped = decimals == 0 ? point + 1 : keep;
        roundUp = text[firstDropped] >= '5';
        length = keep;
    }
    const bool carried = roundUp && incrementDigits(begin, begin + length);

    const std::string_view kept(begin, length);
    const bool negative = value < 0 && (carried || kept.find_first_not_of("0.") != kept.npos);
    if (negative) out += '-';
    if (carried) out += '1';
    out += kept;
}

std::string formatFixed(double value, int decimals) {
    std::string text;
    appendFixed(text, value, decimals);
    return text;
}

Readout decodeReadout(const RegisterImage& image, const DerivedValues& derived) {
    Readout r;
    const int relPos = fieldValue(image, fields::RelPos);
    const int shift = 12 - derived.ResolutionBits;
    // Before the panel is first filled ResolutionBits is 0: counts read 0, never a shift
    // past the width.
    r.counts = shift <= 0 ? relPos : (shift >= 12 ? 0 : relPos >> shift);
    r.positionFraction = relPos / double{kCountsPerTurn};
    r.degrees = r.positionFraction * kDegreesPerTurn;
    r.absolute = fieldValue(image, fields::AbsPos);

    const int tacho = fieldValue(image, fields::Tacho);
    r.tachoFraction = tacho / kTachoSteps;
    r.hertz = r.tachoFraction * derived.TachoRangeHz;
    r.rpm = r.hertz * 60.0;

    const int agcSixteenths =
        fieldValue(image, fields::AgcGain) + fieldValue(image, fields::MagnetStatusHigh);
    r.agcPercent = agcSixteenths / kAgcSteps * 100.0;

    r.magnetStatus = fieldValue(image, fields::MagnetStatus);
    r.relPosAlarm = fieldValue(image, fields::RelPosAlarm) != 0;
    r.absPosAlarm = fieldValue(image, fields::AbsPosAlarm) != 0;
    r.tachoAlarm = fieldValue(image, fields::TachoAlarm) != 0;
    return r;
}

std::string countsText(const Readout& r) {
    return std::to_string(r.counts);
}

std::string degreesText(const Readout& r, int decimals) {
    return formatFixed(r.degrees, decimals) + kDegreeSign;
}

std::string countsOfRangeText(const Readout& r, int resolutionCounts) {
    return std::to_string(r.counts) + " /" + std::to_string(resolutionCounts);
}

std::string absoluteText(const Readout& r) {
    return std::to_string(r.absolute);
}

void appendTachoText(std::string& out, const Readout& r) {
    appendFixed(out, r.hertz, 2);
    out += " Hz / ";
    appendFixed(out, r.rpm, 1);
    out += " RPM";
}

std::string tachoText(const Readout& r) {
    std::string text;
    appendTachoText(text, r);
    return text;
}

std::string agcText(const Readout& r) {
    return formatFixed(r.agcPercent, 1) + "%";
}

std::string_view magnetStatusName(int status) {
    static constexpr std::array<std::string_view, 4> kTexts{"Magnet in range", "Magnet too close",
                                                            "Magnet too far", "Error"};
    // The field has two bits; anything else cannot come from the chip and reads as an error.
    if (status < 0 || status >= static_cast<int>(kTexts.size())) return kTexts[3];
    return kTexts[static_cast<std::size_t>(status)];
}

std::string magnetStatusText(int status) {
    return std::string(magnetStatusName(status));
}

std::string hysteresisItemText(int value) {
    return std::to_string(value) + " (" + formatFixed(value * kDegreesPerTurn / kCountsPerTurn, 2) +
           kDegreeSign + ")";
}

}  // namespace qe::chip
