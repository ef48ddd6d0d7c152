// The backend options as both programs read them: values, refusals, what goes together, and
// the driver they choose with its kept bench.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "backend_options.h"
#include "chosen_driver.h"

namespace qe {
namespace {

const BackendOption& optionNamed(const std::string& name) {
    for (const BackendOption& option : backendOptions())
        if (option.name == name) return option;
    throw std::invalid_argument(name);
}

struct Given {
    const char* name;
    const char* value;
};

// Reads the options in order and settles them; the error, or "" when they are taken.
std::string settle(Program program, const std::vector<Given>& given,
                   BackendSettings* settings = nullptr) {
    BackendOptionReader reader(program);
    for (const Given& option : given)
        if (!reader.take(optionNamed(option.name), option.value)) return reader.error();
    if (!reader.finish()) return reader.error();
    if (settings) *settings = reader.settings();
    return "";
}

TEST(BackendOptions, ValuesAreTakenWithinTheirRanges) {
    const struct {
        Given given;
        double expected;
        double (*field)(const BackendSettings&);
    } accepted[] = {
        {{"chips", "0"}, 0, [](const BackendSettings& s) { return double(s.simulation.chips); }},
        {{"chips", "0x4"}, 4, [](const BackendSettings& s) { return double(s.simulation.chips); }},
        {{"magnet-speed", "-2500"},
         -2500,
         [](const BackendSettings& s) { return s.simulation.revolutionsPerSecond; }},
        {{"magnet-speed", "+2.5"},
         2.5,
         [](const BackendSettings& s) { return s.simulation.revolutionsPerSecond; }},
        {{"magnet-off-centre", "1024"},
         1024,
         [](const BackendSettings& s) { return s.simulation.offCentreCounts; }},
        {{"magnet-off-centre", "20,-90"},
         -90,
         [](const BackendSettings& s) { return s.simulation.offCentrePhaseDeg; }},
        {{"magnet-tilt", "15"},
         15,
         [](const BackendSettings& s) { return s.simulation.tiltAgcLevels; }},
    };
    for (const auto& c : accepted) {
        BackendSettings settings;
        EXPECT_EQ(settle(Program::Window, {{"simulate", ""}, c.given}, &settings), "")
            << c.given.name << ' ' << c.given.value;
        EXPECT_DOUBLE_EQ(c.field(settings), c.expected) << c.given.name << ' ' << c.given.value;
    }

    const Given refused[] = {
        {"chips", "5"},
        {"chips", "-1"},
        {"chips", "2.0"},
        {"chips", ""},
        {"magnet-speed", "2500.5"},
        {"magnet-speed", "inf"},
        {"magnet-speed", "1 "},
        {"magnet-off-centre", "-1"},
        {"magnet-off-centre", "20,"},
        {"magnet-off-centre", "nan"},
        {"magnet-tilt", "16"},
        {"driver", "usb"},
        {"driver", ""},
        {"sim-state", ""},
    };
    for (const Given& given : refused) {
        BackendOptionReader reader(Program::CommandLine);
        const BackendSettings before = reader.settings();
        EXPECT_FALSE(reader.take(optionNamed(given.name), given.value)) << given.name;
        EXPECT_EQ(reader.error(), optionNamed(given.name).refusal(given.value));
        EXPECT_EQ(reader.settings().simulation.chips, before.simulation.chips);
        EXPECT_EQ(reader.settings().driver, before.driver);
    }
    EXPECT_EQ(optionNamed("chips").refusal("9"),
              "--chips takes a whole number from 0 to 4, not '9'");
    EXPECT_EQ(optionNamed("driver").refusal("usb"),
              "--driver takes auto|d2xx|tty|libftdi|sim, not 'usb'");
}

TEST(BackendOptions, WhatGoesTogether) {
    const struct {
        Program program;
        std::vector<Given> given;
        const char* error;
        DriverChoice driver;
    } cases[] = {
        {Program::Window, {}, "", DriverChoice::Auto},
        {Program::Window, {{"driver", "libftdi"}}, "", DriverChoice::LibFtdi},
        {Program::Window, {{"driver", "sim"}, {"chips", "2"}}, "", DriverChoice::Simulated},
        {Program::CommandLine, {{"loaded-bus", ""}, {"simulate", ""}}, "", DriverChoice::Simulated},
        {Program::CommandLine, {{"simulate", ""}, {"driver", "sim"}}, "", DriverChoice::Simulated},
        {Program::Window,
         {{"magnet-tilt", "1"}},
         "--chips and the --magnet options need --simulate",
         DriverChoice::Auto},
        {Program::CommandLine,
         {{"driver", "tty"}, {"sim-state", "f"}},
         "--sim-state, --chips, --loaded-bus and the --magnet options need --simulate",
         DriverChoice::Auto},
        {Program::CommandLine,
         {{"simulate", ""}, {"driver", "d2xx"}},
         "--simulate and --driver d2xx exclude each other",
         DriverChoice::Auto},
        {Program::Window,
         {{"driver", "auto"}, {"simulate", ""}},
         "--simulate and --driver auto exclude each other",
         DriverChoice::Auto},
    };
    for (const auto& c : cases) {
        BackendSettings settings;
        EXPECT_EQ(settle(c.program, c.given, &settings), c.error);
        if (*c.error == '\0') {
            EXPECT_EQ(settings.driver, c.driver);
        }
    }
}

TEST(BackendOptions, TheWindowOffersNoOptionOfARunThatEndsWithItsCommand) {
    std::vector<std::string> commandLineOnly;
    for (const BackendOption& option : backendOptions())
        if (!option.offeredBy(Program::Window)) commandLineOnly.push_back(option.name);
    EXPECT_EQ(commandLineOnly, (std::vector<std::string>{"sim-state", "loaded-bus"}));
    // The defaults the help names are those the simulation starts with.
    EXPECT_NE(optionNamed("chips").help.find("(default 1)"), std::string::npos);
    EXPECT_NE(optionNamed("magnet-speed").help.find("(default 0.1)"), std::string::npos);
}

class ChosenDriverTest : public ::testing::Test {
protected:
    ManualClock clock;
    std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("qe7204-bench-" + std::to_string(::getpid()));
    std::string error;

    void TearDown() override { std::filesystem::remove(file); }

    std::unique_ptr<ChosenDriver> make(const BackendSettings& settings) {
        return ChosenDriver::make(
            settings, clock, [](DriverChoice) { return std::unique_ptr<FtdiDriver>(); }, error);
    }
    BackendSettings keptBench(int chips) {
        BackendSettings settings;
        settings.driver = DriverChoice::Simulated;
        settings.simulation.chips = chips;
        settings.benchFile = file.string();
        return settings;
    }
};

TEST_F(ChosenDriverTest, TheBenchFileKeepsTheChipsFromOneRunToTheNext) {
    {
        auto first = make(keptBench(2));
        ASSERT_TRUE(first) << error;
        ASSERT_NE(first->simulation(), nullptr);
        EXPECT_EQ(&first->driver(), first->simulation());
        EXPECT_FALSE(std::filesystem::exists(file));
        first->simulation()->adapter().bus().chip(1).setEepromWord(20, 0xBEEF);
        EXPECT_TRUE(first->keepBench());
    }
    auto second = make(keptBench(1));  // the file's two chips, not a fresh one
    ASSERT_TRUE(second) << error;
    ASSERT_EQ(second->simulation()->adapter().bus().chipCount(), 2u);
    EXPECT_EQ(second->simulation()->adapter().bus().chip(1).eepromWord(20), 0xBEEF);
    EXPECT_EQ(second->backendName("sim"), "simulated adapter");
}

TEST_F(ChosenDriverTest, AFileThatHoldsNoBenchIsRefusedAndLeftAsItIs) {
    std::ofstream(file) << "notes\n";
    EXPECT_FALSE(make(keptBench(1)));
    EXPECT_EQ(error, file.string() + " does not hold a simulated bench");
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "notes\n");
}

TEST_F(ChosenDriverTest, ARealDriverComesFromTheMakerHandedIn) {
    BackendSettings settings;
    settings.driver = DriverChoice::Tty;
    EXPECT_FALSE(make(settings));
    EXPECT_EQ(error, "no driver 'tty'");

    DriverChoice asked = DriverChoice::Auto;
    auto chosen = ChosenDriver::make(
        settings, clock,
        [&](DriverChoice choice) {
            asked = choice;
            return makeRealDriver(DriverChoice::LibFtdi);
        },
        error);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(asked, DriverChoice::Tty);
    EXPECT_EQ(chosen->simulation(), nullptr);
    EXPECT_TRUE(chosen->keepBench());  // nothing to keep
    EXPECT_EQ(chosen->backendName(""), "tty");
    EXPECT_EQ(chosen->backendName("libftdi"), "libftdi");
}

}  // namespace
}  // namespace qe
