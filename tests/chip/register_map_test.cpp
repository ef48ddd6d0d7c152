#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "register_map.h"

namespace qe::chip {
namespace {

// --- field layout -------------------------------------------------------------------

struct FieldCase {
    const char* name;
    Field field;
    std::uint16_t mask;  // the bits the field owns, written out by hand
};

const FieldCase kFieldCases[] = {
    {"ADDR", fields::ADDR, 0x007F},
    {"Reg35", fields::Reg35, 0x0100},
    {"Pdee", fields::Pdee, 0x0200},
    {"Pdtr", fields::Pdtr, 0x0C00},
    {"AGCdis", fields::AGCdis, 0x4000},
    {"Pdint", fields::Pdint, 0x8000},
    {"Zin", fields::Zin, 0x0FFF},
    {"Sign", fields::Sign, 0x1000},
    {"MONAGC", fields::MONAGC, 0x2000},
    {"BufSel", fields::BufSel, 0x4000},
    {"Abridis", fields::Abridis, 0x8000},
    {"Hyst", fields::Hyst, 0x007F},
    {"Res", fields::Res, 0x0007},
    {"UVW", fields::UVW, 0x0038},
    {"Sth", fields::Sth, 0x01C0},
    {"SSIcfg", fields::SSIcfg, 0x1800},
    {"Dac", fields::Dac, 0x6000},
    {"Dact", fields::Dact, 0x8000},
    {"RelPos", fields::RelPos, 0x0FFF},
    {"RelPosAlarm", fields::RelPosAlarm, 0x8000},
    {"AbsPos", fields::AbsPos, 0x0FFF},
    {"AbsPosAlarm", fields::AbsPosAlarm, 0x8000},
    {"MagnetStatus", fields::MagnetStatus, 0x6000},
    {"Tacho", fields::Tacho, 0x03FF},
    {"TachoAlarm", fields::TachoAlarm, 0x0400},
    {"AgcGain", fields::AgcGain, 0xF000},
};

TEST(FieldLayout, EveryFieldOwnsExactlyItsBits) {
    for (const FieldCase& c : kFieldCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.field.mask(), c.mask);
    }
}

// Every value of every field goes in and comes out unchanged, and the other bits of the
// word survive both when they are all set and when they are all clear.
TEST(FieldLayout, WithFieldRoundTripsEveryValueAndKeepsOtherBits) {
    for (const FieldCase& c : kFieldCases) {
        SCOPED_TRACE(c.name);
        for (std::uint16_t background :
             {std::uint16_t{0x0000}, std::uint16_t{0xFFFF}, std::uint16_t{0xA5C3}}) {
            for (unsigned value = 0; value <= c.field.maxValue(); ++value) {
                const std::uint16_t word =
                    withField(background, c.field, static_cast<std::uint16_t>(value));
                ASSERT_EQ(fieldValue(word, c.field), value);
                ASSERT_EQ(word & ~c.mask, background & ~c.mask);
            }
        }
    }
}

TEST(FieldLayout, ValueWiderThanFieldNeverSpillsIntoNeighbours) {
    EXPECT_EQ(withField(0x0000, fields::Res, 0xFFFF), 0x0007);
    EXPECT_EQ(withField(0x0000, fields::Pdtr, 0x0007), 0x0C00);
    EXPECT_EQ(withField(0x0000, fields::Dact, 2), 0x0000);
}

struct NeighbourCase {
    const char* name;
    Field field;
    std::uint16_t before;
    std::uint16_t value;
    std::uint16_t after;
};

TEST(FieldLayout, ChangesKeepTheNeighbouringBits) {
    const NeighbourCase cases[] = {
        // Hyst keeps bits 7..15 of word 50.
        {"Hyst", fields::Hyst, 0xFF80, 10, 0xFF8A},
        {"Hyst to 0", fields::Hyst, 0xABFF, 0, 0xAB80},
        // Sign keeps MONAGC.
        {"Sign set", fields::Sign, 0x2000, 1, 0x3000},
        {"Sign clear", fields::Sign, 0x3000, 0, 0x2000},
        // ADDR keeps bit 7 and bits 8..15 of word 48.
        {"ADDR", fields::ADDR, 0xFF80, 21, 0xFF95},
        {"ADDR to 0", fields::ADDR, 0x82FF, 0, 0x8280},
        // Pdtr "1:512" on 0x0205.
        {"Pdtr", fields::Pdtr, 0x0205, 2, 0x0A05},
        {"Zin keeps the flags", fields::Zin, 0xF123, 0x0ABC, 0xFABC},
    };
    for (const NeighbourCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(withField(c.before, c.field, c.value), c.after);
    }
}

TEST(FieldLayout, FieldValueReadsTheImageWord) {
    RegisterImage image{};
    image[51] = 0x8000 | (3u << 13) | (3u << 11) | (7u << 6) | (5u << 3) | 7u;
    image[34] = 0x4000;
    EXPECT_EQ(fieldValue(image, fields::Res), 7);
    EXPECT_EQ(fieldValue(image, fields::UVW), 5);
    EXPECT_EQ(fieldValue(image, fields::Sth), 7);
    EXPECT_EQ(fieldValue(image, fields::SSIcfg), 3);
    EXPECT_EQ(fieldValue(image, fields::Dac), 3);
    EXPECT_EQ(fieldValue(image, fields::Dact), 1);
    EXPECT_EQ(fieldValue(image, fields::MagnetStatus), 2);
    EXPECT_EQ(fieldValue(image, fields::MagnetStatusHigh), 1);
}

// --- item <-> value -------------------------------------------------------------------

struct ReadCase {
    ItemMapping mapping;
    std::uint16_t value;
    int item;
};

TEST(ItemMapping, ItemShownForEachValue) {
    const ReadCase cases[] = {
        {ItemMapping::Identity, 0, 0},  {ItemMapping::Identity, 7, 7},
        {ItemMapping::Flag, 0, 0},      {ItemMapping::Flag, 1, 1},
        {ItemMapping::Inverted, 1, 0},  {ItemMapping::Inverted, 0, 1},
        {ItemMapping::SsiConfig, 0, 0}, {ItemMapping::SsiConfig, 1, 1},
        {ItemMapping::SsiConfig, 2, 0}, {ItemMapping::SsiConfig, 3, 2},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.mapping) << " value " << c.value);
        EXPECT_EQ(itemForValue(c.mapping, c.value), c.item);
    }
}

struct WriteCase {
    ItemMapping mapping;
    int item;
    std::uint16_t value;
};

TEST(ItemMapping, ValueWrittenForEachItem) {
    const WriteCase cases[] = {
        {ItemMapping::Identity, 0, 0},   {ItemMapping::Identity, 5, 5},
        {ItemMapping::Identity, -1, 0},  {ItemMapping::Flag, 1, 1},
        {ItemMapping::Flag, 0, 0},       {ItemMapping::Flag, 2, 0},
        {ItemMapping::Flag, -1, 0},      {ItemMapping::Inverted, 0, 1},
        {ItemMapping::Inverted, 1, 0},   {ItemMapping::Inverted, -1, 0},
        {ItemMapping::SsiConfig, 0, 0},  {ItemMapping::SsiConfig, 1, 1},
        {ItemMapping::SsiConfig, 2, 3},  {ItemMapping::SsiConfig, 3, 0},
        {ItemMapping::SsiConfig, -1, 0},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.mapping) << " item " << c.item);
        EXPECT_EQ(valueForItem(c.mapping, c.item), c.value);
    }
}

// --- derived values -------------------------------------------------------------------

TEST(DerivedValues, RulesForEveryFieldValue) {
    const int counts[] = {4096, 2048, 1024, 512, 256, 128, 64, 32};
    const double hertz[] = {2048.0, 1024.0, 512.0, 256.0, 128.0, 64.0, 32.0, 16.0};
    for (std::uint16_t v = 0; v < 8; ++v) {
        SCOPED_TRACE(v);
        EXPECT_EQ(resolutionCounts(v), counts[v]);
        EXPECT_EQ(resolutionBits(v), 12 - v);
        EXPECT_EQ(tachoRangeHz(v), hertz[v]);
    }
}

TEST(DerivedValues, UpdateSetsOnlyTheValueThatFollowsTheGroup) {
    DerivedValues d;
    updateDerived(d, Derived::Resolution, 7);
    EXPECT_EQ(d.ResolutionCounts, 32);
    EXPECT_EQ(d.ResolutionBits, 5);
    EXPECT_EQ(d.TachoRangeHz, 0.0);

    updateDerived(d, Derived::TachoRange, 7);
    EXPECT_EQ(d.TachoRangeHz, 16.0);
    EXPECT_EQ(d.ResolutionCounts, 32);

    updateDerived(d, Derived::None, 0);
    EXPECT_EQ(d.ResolutionCounts, 32);
    EXPECT_EQ(d.ResolutionBits, 5);
    EXPECT_EQ(d.TachoRangeHz, 16.0);
}

}  // namespace
}  // namespace qe::chip
