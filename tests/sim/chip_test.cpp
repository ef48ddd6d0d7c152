// One chip and the magnet over it, without the adapter in between.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "clock.h"
#include "qe7204_chip.h"
#include "virtual_magnet.h"

namespace qe::sim::test {
namespace {

constexpr std::int64_t kMs = 1'000'000;

struct OutputCase {
    const char* name;
    std::uint16_t angle = 1000;  // counts
    double speed = 0.0;          // revolutions per second
    double distance = 1.5;       // mm
    std::uint16_t word48 = 0x0100;
    std::uint16_t word49 = 0x0000;
    std::uint16_t word51 = 0x01C0;  // tacho range 16 Hz
    std::array<std::uint16_t, 4> outputs;
};

class ChipOutputs : public ::testing::TestWithParam<OutputCase> {
protected:
    ManualClock clock;
    VirtualMagnet magnet{clock};
    Qe7204Chip chip{magnet, Qe7204Chip::typicalEeprom(0)};
};

TEST_P(ChipOutputs, FollowTheMagnetAndTheConfiguration) {
    const auto& c = GetParam();
    chip.powerUp();
    ASSERT_TRUE(chip.write(48, c.word48));
    ASSERT_TRUE(chip.write(49, c.word49));
    ASSERT_TRUE(chip.write(51, c.word51));
    magnet.setAngle(c.angle / 4096.0);
    magnet.setSpeed(c.speed);
    magnet.setDistance(c.distance);
    const auto image = chip.readAll(clock.nowNs());
    EXPECT_EQ((std::array<std::uint16_t, 4>{image[32], image[33], image[34], image[35]}),
              c.outputs);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ChipOutputs,
    ::testing::Values(
        OutputCase{.name = "InRange", .outputs = {0x03E8, 0x03E8, 0x0000, 0x8000}},
        OutputCase{
            .name = "ZeroBehind", .word49 = 1200, .outputs = {0x0F38, 0x03E8, 0x0000, 0x8000}},
        OutputCase{.name = "ZeroBehindCounterClockwise",
                   .word49 = 0x1000 | 1200,
                   .outputs = {0x00C8, 0x03E8, 0x0000, 0x8000}},
        OutputCase{.name = "ZeroAheadCounterClockwise",
                   .word49 = 0x1000 | 100,
                   .outputs = {0x0C7C, 0x03E8, 0x0000, 0x8000}},
        OutputCase{.name = "OtherBitsOfWord49Ignored",
                   .word49 = 0xE000 | 1000,
                   .outputs = {0x0000, 0x03E8, 0x0000, 0x8000}},
        OutputCase{
            .name = "HalfTachoRange", .speed = 8.0, .outputs = {0x03E8, 0x03E8, 0x0000, 0x8200}},
        OutputCase{.name = "TachoIgnoresDirection",
                   .speed = -8.0,
                   .outputs = {0x03E8, 0x03E8, 0x0000, 0x8200}},
        OutputCase{.name = "TachoJustBelowFullScale",
                   .speed = 15.99,
                   .outputs = {0x03E8, 0x03E8, 0x0000, 0x83FF}},
        OutputCase{.name = "TachoSaturatesWithAlarm",
                   .speed = 16.0,
                   .outputs = {0x03E8, 0x03E8, 0x0000, 0x87FF}},
        OutputCase{.name = "WideTachoRange",
                   .speed = 20.0,
                   .word51 = 0x0000,
                   .outputs = {0x03E8, 0x03E8, 0x0000, 0x800A}},
        OutputCase{
            .name = "TooClose", .distance = 0.4, .outputs = {0x83E8, 0x83E8, 0x2000, 0x2000}},
        OutputCase{.name = "TooFar", .distance = 4.0, .outputs = {0x83E8, 0x83E8, 0x4000, 0xF000}},
        OutputCase{
            .name = "NoField", .distance = 10.0, .outputs = {0x83E8, 0x83E8, 0x6000, 0xF000}},
        OutputCase{.name = "AgcDisabledHoldsTheGain",
                   .distance = 4.0,
                   .word48 = 0x4100,
                   .outputs = {0x83E8, 0x83E8, 0x4000, 0x8000}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualMagnet, StatusAndGainFollowTheDistance) {
    struct Case {
        double distance;
        MagnetStatus status;
        int gain;
    };
    const Case cases[] = {
        {-1.0, MagnetStatus::TooClose, 0}, {0.0, MagnetStatus::TooClose, 0},
        {0.49, MagnetStatus::TooClose, 2}, {0.5, MagnetStatus::InRange, 3},
        {1.5, MagnetStatus::InRange, 8},   {2.5, MagnetStatus::InRange, 13},
        {2.6, MagnetStatus::TooFar, 13},   {3.0, MagnetStatus::TooFar, 15},
        {6.0, MagnetStatus::TooFar, 15},   {6.1, MagnetStatus::Error, 15},
    };
    ManualClock clock;
    VirtualMagnet magnet(clock);
    for (const auto& c : cases) {
        magnet.setDistance(c.distance);
        EXPECT_EQ(magnet.status(), c.status) << c.distance << " mm";
        EXPECT_EQ(magnet.agcGain(), c.gain) << c.distance << " mm";
    }
}

TEST(VirtualMagnet, MountingErrorsFollowTheAngle) {
    struct Case {
        double angle;  // revolutions
        std::uint16_t position;
        std::uint8_t gain;
    };
    // 20 counts off-centre at phase 90 degrees: +20 at angle 0, -20 at half a turn; the gain
    // (8 at 1.5 mm) ripples by 3 levels, highest a quarter turn in.
    const Case cases[] = {
        {0.0, 20, 8}, {1.0 / 6, 692, 11}, {0.5, 2028, 8}, {0.7, 2861, 5}, {0.999, 15, 8},
    };
    ManualClock clock;
    VirtualMagnet magnet(clock);
    magnet.setEccentricity(20.0, 90.0);
    magnet.setAgcRipple(3.0);
    for (const auto& c : cases) {
        magnet.setAngle(c.angle);
        EXPECT_EQ(magnet.positionAt(clock.nowNs()), c.position) << c.angle;
        EXPECT_EQ(magnet.agcGainAt(clock.nowNs()), c.gain) << c.angle;
    }
    EXPECT_EQ(magnet.agcGain(), 8) << "the mean gain stays the distance's";
    magnet.setAgcRipple(20.0);
    magnet.setAngle(0.25);
    EXPECT_EQ(magnet.agcGainAt(clock.nowNs()), 15) << "clamped to the chip's range";
}

TEST(VirtualMagnet, TurnsAtItsSpeedOverTheClock) {
    ManualClock clock;
    VirtualMagnet magnet(clock);
    magnet.setSpeed(0.1);
    clock.advanceMs(2500);
    EXPECT_EQ(magnet.positionAt(clock.nowNs()), 1024);
    magnet.setSpeed(-0.2);  // keeps the angle turned so far
    EXPECT_EQ(magnet.positionAt(clock.nowNs()), 1024);
    clock.advanceMs(2500);
    EXPECT_EQ(magnet.positionAt(clock.nowNs()), 3072) << "turning back past zero wraps";
    EXPECT_EQ(magnet.positionAt(clock.nowNs() + 1250 * kMs), 2048) << "looks ahead without moving";
    magnet.setAngle(1.75);
    EXPECT_EQ(magnet.positionAt(clock.nowNs()), 3072);
}

class Chip : public ::testing::Test {
protected:
    ManualClock clock;
    VirtualMagnet magnet{clock};
    Qe7204Chip chip{magnet, Qe7204Chip::typicalEeprom(0x21)};
};

TEST_F(Chip, PowerUpCopiesEepromWordsIntoWorkingWords) {
    for (std::uint8_t i = 0; i < 8; ++i)
        chip.setEepromWord(i, static_cast<std::uint16_t>(0x1100 * (i + 1) + 0x21));
    EXPECT_EQ(chip.address(), 0x21) << "unpowered, the address to be loaded";
    chip.powerUp();
    for (std::uint8_t i = 0; i < 8; ++i) {
        EXPECT_EQ(chip.read(48 + i, 0), 0x1100 * (i + 1) + 0x21) << "word " << 48 + i;
        EXPECT_EQ(chip.read(i, 0), 0x1100 * (i + 1) + 0x21) << "word " << int(i);
    }
}

TEST_F(Chip, WritesGoToEepromBelow32AndToWorkingWordsFrom48) {
    chip.powerUp();
    EXPECT_TRUE(chip.write(2, 0x0040));
    EXPECT_TRUE(chip.write(31, 0x3131));
    EXPECT_TRUE(chip.write(50, 0x0007));
    EXPECT_EQ(chip.read(50, 0), 0x0007);
    EXPECT_EQ(chip.read(31, 0), 0x3131);
    chip.powerDown();
    chip.powerUp();
    EXPECT_EQ(chip.read(50, 0), 0x0040);
    EXPECT_EQ(chip.read(31, 0), 0x3131);
}

TEST_F(Chip, RefusesWhatItCannotStore) {
    EXPECT_FALSE(chip.write(49, 1)) << "unpowered";
    chip.powerUp();
    for (std::uint8_t reg : {32, 35, 36, 47, 56, 255})
        EXPECT_FALSE(chip.write(reg, 0x1234)) << int(reg);
    EXPECT_EQ(chip.read(36, 0), 0);
    EXPECT_EQ(chip.read(56, 0), 0);
}

// A watched register counts every write that changes bits outside the field being set:
// such a word was not formed from the one the chip holds.
TEST_F(Chip, TellsWritesFormedFromAWordItDoesNotHold) {
    chip.powerUp();
    const std::uint16_t held = chip.read(51, 0);
    chip.watchWrites(51, 0x01C0);
    EXPECT_TRUE(chip.write(51, static_cast<std::uint16_t>(held ^ 0x0040)));
    EXPECT_TRUE(chip.write(51, chip.read(51, 0)));
    EXPECT_EQ(chip.staleWrites(), 0u);
    EXPECT_TRUE(chip.write(51, static_cast<std::uint16_t>(chip.read(51, 0) ^ 0x0001)));
    EXPECT_EQ(chip.staleWrites(), 1u) << "a bit outside the field changed";
    EXPECT_TRUE(chip.write(50, 0x1234));
    EXPECT_EQ(chip.staleWrites(), 1u) << "other registers are not watched";
}

TEST_F(Chip, HysteresisHoldsThePositionUntilTheMagnetMovesFurther) {
    chip.powerUp();
    ASSERT_TRUE(chip.write(50, 4));
    struct Step {
        int angle;
        int reported;
    };
    const Step steps[] = {{100, 100}, {104, 100},   {96, 100}, {105, 105}, {101, 105},
                          {100, 100}, {4094, 4094}, {2, 4094}, {3, 3}};
    for (const auto& step : steps) {
        magnet.setAngle(step.angle / 4096.0);
        EXPECT_EQ(chip.read(33, clock.nowNs()), step.reported) << "angle " << step.angle;
    }
}

}  // namespace
}  // namespace qe::sim::test
