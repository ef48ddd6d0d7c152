#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "register_image.h"
#include "register_map.h"

namespace qe::chip {

// UTF-8 degree sign, as the readout texts and captions use it.
inline constexpr const char* kDegreeSign = "\u00B0";

// Fixed-point text: "." whatever the locale, no thousands separator, halves round up
// (93.75 with one decimal reads 93.8). Rounding is decided on the exact binary value.
std::string formatFixed(double value, int decimals);
// The same, appended to `out`: no allocation beyond what `out` needs.
void appendFixed(std::string& out, double value, int decimals);

// The live quantities decoded from output words 32..35 and the derived values.
struct Readout {
    int counts = 0;           // RelPos at the selected resolution
    double degrees = 0.0;     // RelPos / 4096 * 360
    int absolute = 0;         // AbsPos
    double hertz = 0.0;       // Tacho / 1024 * TachoRangeHz
    double rpm = 0.0;         // hertz * 60
    double agcPercent = 0.0;  // (AgcGain + upper magnet status bit) / 16 * 100
    int magnetStatus = 0;     // 0..3
    bool relPosAlarm = false;
    bool absPosAlarm = false;
    bool tachoAlarm = false;
    double positionFraction = 0.0;  // RelPos / 4096, for the dial
    double tachoFraction = 0.0;     // Tacho / 1024, for the dial
};

Readout decodeReadout(const RegisterImage& image, const DerivedValues& derived);

std::string countsText(const Readout& r);                               // "1024"
std::string degreesText(const Readout& r, int decimals = 2);            // "90.00°"
std::string countsOfRangeText(const Readout& r, int resolutionCounts);  // "256 /1024"
std::string absoluteText(const Readout& r);                             // "1234"
std::string tachoText(const Readout& r);  // "1024.00 Hz / 61440.0 RPM"
void appendTachoText(std::string& out, const Readout& r);
std::string agcText(const Readout& r);     // "50.0%"
std::string magnetStatusText(int status);  // "Magnet in range", ...
std::string_view magnetStatusName(int status);
std::string hysteresisItemText(int value);  // "10 (0.88°)"

}  // namespace qe::chip
