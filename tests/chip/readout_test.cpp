#include <gtest/gtest.h>

#include <clocale>
#include <optional>
#include <string>

#include "readout.h"

namespace qe::chip {
namespace {

const std::string kDeg = "\xC2\xB0";

DerivedValues filledWith(std::uint16_t res, std::uint16_t sth) {
    DerivedValues d;
    updateDerived(d, Derived::Resolution, res);
    updateDerived(d, Derived::TachoRange, sth);
    return d;
}

const DerivedValues kNeverFilled{};

// --- fixed-point texts ----------------------------------------------------------------

struct FixedCase {
    double value;
    int decimals;
    const char* text;
};

TEST(FormatFixed, HalvesRoundUpOnTheExactValue) {
    const FixedCase cases[] = {
        {93.75, 1, "93.8"},
        {6.25, 1, "6.3"},
        {0.125, 2, "0.13"},
        {0.375, 2, "0.38"},
        {0.5, 0, "1"},
        {2.5, 0, "3"},
        {0.015625, 2, "0.02"},
        {0.87890625, 2, "0.88"},
        {0.087890625, 4, "0.0879"},
        {359.912109375, 2, "359.91"},
        {959.0625, 1, "959.1"},
        {0.9375, 1, "0.9"},
        // Not exact in binary: the stored value decides, below or above the half.
        {9.995, 2, "9.99"},
        {0.05, 1, "0.1"},
        // Carry through every digit.
        {99.95, 1, "100.0"},
        {999.96, 1, "1000.0"},
        {9.5, 0, "10"},
    };
    for (const FixedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " with " << c.decimals);
        EXPECT_EQ(formatFixed(c.value, c.decimals), c.text);
    }
}

TEST(FormatFixed, PadsAndNeverGroupsThousands) {
    const FixedCase cases[] = {
        {0.0, 2, "0.00"},          {1.0, 4, "1.0000"},           {90.0, 4, "90.0000"},
        {122760.0, 1, "122760.0"}, {1234567.0, 2, "1234567.00"}, {3.0, 0, "3"},
        {3.25, -1, "3"},
    };
    for (const FixedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " with " << c.decimals);
        EXPECT_EQ(formatFixed(c.value, c.decimals), c.text);
    }
}

TEST(FormatFixed, NegativeAndTinyValues) {
    const FixedCase cases[] = {
        {-6.25, 1, "-6.3"},  {-0.001, 2, "0.00"}, {-0.0, 1, "0.0"},
        {1e-300, 2, "0.00"}, {5e-324, 2, "0.00"},
    };
    for (const FixedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " with " << c.decimals);
        EXPECT_EQ(formatFixed(c.value, c.decimals), c.text);
    }
}

// Restores the process locale however the test ends.
class LocaleGuard {
public:
    LocaleGuard() : saved_(std::setlocale(LC_ALL, nullptr)) {}
    ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

private:
    std::string saved_;
};

TEST(FormatFixed, UsesAPointUnderACommaLocale) {
    LocaleGuard guard;
    std::optional<std::string> active;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            active = name;
            break;
        }
    }
    if (!active || std::string(std::localeconv()->decimal_point) != ",") {
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    EXPECT_EQ(formatFixed(1234.5, 2), "1234.50");
    EXPECT_EQ(formatFixed(93.75, 1), "93.8");
    EXPECT_EQ(hysteresisItemText(10), "10 (0.88" + kDeg + ")");
}

// --- decoding the output words --------------------------------------------------------

struct PositionCase {
    const char* name;
    std::uint16_t word32;
    DerivedValues derived;
    int counts;
    const char* countsText;
    std::string degreesText;
    const char* countsOfRange;
    bool alarm;
};

TEST(Readout, RelativePosition) {
    const PositionCase cases[] = {
        {"quarter turn, 4096 counts", 1024, filledWith(0, 0), 1024, "1024", "90.00" + kDeg,
         "1024 /4096", false},
        {"last count at 32 counts", 4095, filledWith(7, 0), 31, "31", "359.91" + kDeg, "31 /32",
         false},
        {"one count", 1, filledWith(0, 0), 1, "1", "0.09" + kDeg, "1 /4096", false},
        {"zero", 0, filledWith(0, 0), 0, "0", "0.00" + kDeg, "0 /4096", false},
        {"1024 counts", 4095, filledWith(2, 0), 1023, "1023", "359.91" + kDeg, "1023 /1024", false},
        {"panel never filled", 1024, kNeverFilled, 0, "0", "90.00" + kDeg, "0 /0", false},
        {"alarm and unused bits stay out", 0xF000 | 1024, filledWith(0, 0), 1024, "1024",
         "90.00" + kDeg, "1024 /4096", true},
    };
    for (const PositionCase& c : cases) {
        SCOPED_TRACE(c.name);
        RegisterImage image{};
        image[32] = c.word32;
        const Readout r = decodeReadout(image, c.derived);
        EXPECT_EQ(r.counts, c.counts);
        EXPECT_EQ(countsText(r), c.countsText);
        EXPECT_EQ(degreesText(r), c.degreesText);
        EXPECT_EQ(countsOfRangeText(r, c.derived.ResolutionCounts), c.countsOfRange);
        EXPECT_EQ(r.relPosAlarm, c.alarm);
        EXPECT_EQ(r.positionFraction, (c.word32 & 0x0FFF) / 4096.0);
    }
}

TEST(Readout, DegreesWithFourDecimals) {
    RegisterImage image{};
    image[32] = 1;
    EXPECT_EQ(degreesText(decodeReadout(image, filledWith(0, 0)), 4), "0.0879" + kDeg);
    image[32] = 1024;
    EXPECT_EQ(degreesText(decodeReadout(image, filledWith(0, 0)), 4), "90.0000" + kDeg);
}

TEST(Readout, AbsolutePositionIgnoresTheResolution) {
    RegisterImage image{};
    image[33] = 0x8000 | 0x7000 | 4095;
    const Readout r = decodeReadout(image, filledWith(7, 0));
    EXPECT_EQ(absoluteText(r), "4095");
    EXPECT_TRUE(r.absPosAlarm);
    image[33] = 1234;
    EXPECT_FALSE(decodeReadout(image, filledWith(7, 0)).absPosAlarm);
}

struct TachoCase {
    const char* name;
    std::uint16_t word35;
    DerivedValues derived;
    double hertz;
    const char* text;
    bool alarm;
};

TEST(Readout, Speed) {
    const TachoCase cases[] = {
        {"top of 2048 Hz", 1023, filledWith(0, 0), 2046.0, "2046.00 Hz / 122760.0 RPM", false},
        {"half of 2048 Hz", 512, filledWith(0, 0), 1024.0, "1024.00 Hz / 61440.0 RPM", false},
        {"one step of 16 Hz", 1, filledWith(0, 7), 0.015625, "0.02 Hz / 0.9 RPM", false},
        {"top of 16 Hz", 1023, filledWith(0, 7), 15.984375, "15.98 Hz / 959.1 RPM", false},
        {"panel never filled", 1023, kNeverFilled, 0.0, "0.00 Hz / 0.0 RPM", false},
        {"alarm and gain stay out", 0xF000 | 0x0400 | 512, filledWith(0, 1), 512.0,
         "512.00 Hz / 30720.0 RPM", true},
    };
    for (const TachoCase& c : cases) {
        SCOPED_TRACE(c.name);
        RegisterImage image{};
        image[35] = c.word35;
        const Readout r = decodeReadout(image, c.derived);
        EXPECT_EQ(r.hertz, c.hertz);
        EXPECT_EQ(tachoText(r), c.text);
        EXPECT_EQ(r.tachoAlarm, c.alarm);
        EXPECT_EQ(r.tachoFraction, (c.word35 & 0x03FF) / 1024.0);
    }
}

struct AgcCase {
    std::uint16_t gain;
    std::uint16_t word34;
    const char* text;
};

TEST(Readout, AgcLevelCountsTheUpperMagnetStatusBit) {
    const AgcCase cases[] = {
        {15, 0x0000, "93.8%"},  {15, 0x4000, "100.0%"}, {15, 0x2000, "93.8%"},
        {15, 0x6000, "100.0%"}, {1, 0x0000, "6.3%"},    {0, 0x0000, "0.0%"},
        {8, 0x0000, "50.0%"},   {0, 0x4000, "6.3%"},
    };
    for (const AgcCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "gain " << c.gain << " word 34 " << c.word34);
        RegisterImage image{};
        image[34] = c.word34;
        image[35] = static_cast<std::uint16_t>(c.gain << 12);
        EXPECT_EQ(agcText(decodeReadout(image, filledWith(0, 0))), c.text);
    }
}

TEST(Readout, MagnetStatus) {
    const char* texts[] = {"Magnet in range", "Magnet too close", "Magnet too far", "Error"};
    for (std::uint16_t status = 0; status < 4; ++status) {
        SCOPED_TRACE(status);
        RegisterImage image{};
        image[34] = static_cast<std::uint16_t>(0x9FFF | (status << 13));
        const Readout r = decodeReadout(image, filledWith(0, 0));
        EXPECT_EQ(r.magnetStatus, status);
        EXPECT_EQ(magnetStatusText(r.magnetStatus), texts[status]);
    }
    EXPECT_EQ(magnetStatusText(4), "Error");
    EXPECT_EQ(magnetStatusText(-1), "Error");
}

// --- hysteresis choices ---------------------------------------------------------------

TEST(Hysteresis, ItemTexts) {
    const struct {
        int value;
        std::string text;
    } cases[] = {
        {0, "0 (0.00" + kDeg + ")"},
        {1, "1 (0.09" + kDeg + ")"},
        {10, "10 (0.88" + kDeg + ")"},
        {127, "127 (11.16" + kDeg + ")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(hysteresisItemText(c.value), c.text);
    }
}

}  // namespace
}  // namespace qe::chip
