// The program's arguments: what each one asks for, and what is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"

namespace qe::ui {
namespace {

QStringList argumentsOf(const std::vector<const char*>& given) {
    QStringList arguments{QStringLiteral("qe7204-tool")};
    for (const char* argument : given) arguments << QString::fromUtf8(argument);
    return arguments;
}

struct AcceptedCase {
    const char* name;
    std::vector<const char*> arguments;
    bool simulate;
    int chips;
    double revolutionsPerSecond;
};

class AcceptedArguments : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(AcceptedArguments, GiveTheseOptions) {
    const AcceptedCase& c = GetParam();
    CommandLine commandLine;
    ASSERT_TRUE(commandLine.parse(argumentsOf(c.arguments))) << commandLine.error().toStdString();
    EXPECT_TRUE(commandLine.error().isEmpty());
    const BackendSettings& backend = commandLine.options().backend;
    EXPECT_EQ(backend.simulated(), c.simulate);
    EXPECT_EQ(backend.simulation.chips, c.chips);
    EXPECT_DOUBLE_EQ(backend.simulation.revolutionsPerSecond, c.revolutionsPerSecond);
    EXPECT_FALSE(backend.simulation.instantReplies);
    EXPECT_FALSE(commandLine.helpRequested());
    EXPECT_FALSE(commandLine.versionRequested());
}

const double kDefaultSpeed = sim::SimulationOptions{}.revolutionsPerSecond;

INSTANTIATE_TEST_SUITE_P(
    Program, AcceptedArguments,
    ::testing::Values(
        AcceptedCase{"NoneMeansRealAdapter", {}, false, 1, kDefaultSpeed},
        AcceptedCase{"Simulate", {"--simulate"}, true, 1, kDefaultSpeed},
        AcceptedCase{"NoChip", {"--simulate", "--chips", "0"}, true, 0, kDefaultSpeed},
        AcceptedCase{"FourChips", {"--simulate", "--chips=4"}, true, 4, kDefaultSpeed},
        AcceptedCase{"OtherDirection", {"--magnet-speed", "-2.5", "--simulate"}, true, 1, -2.5},
        AcceptedCase{"StandingStill", {"--simulate", "--magnet-speed=0"}, true, 1, 0.0}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    std::vector<const char*> arguments;
    const char* error;
};

class RefusedArguments : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedArguments, SayWhy) {
    const RefusedCase& c = GetParam();
    CommandLine commandLine;
    EXPECT_FALSE(commandLine.parse(argumentsOf(c.arguments)));
    EXPECT_EQ(commandLine.error().toStdString(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Program, RefusedArguments,
    ::testing::Values(
        RefusedCase{"UnknownOption", {"--simulated"}, "Unknown option 'simulated'."},
        RefusedCase{"MissingValue", {"--simulate", "--chips"}, "Missing value after '--chips'."},
        RefusedCase{"TooManyChips",
                    {"--simulate", "--chips", "5"},
                    "--chips takes a whole number from 0 to 4, not '5'."},
        RefusedCase{"NegativeChips",
                    {"--simulate", "--chips=-1"},
                    "--chips takes a whole number from 0 to 4, not '-1'."},
        RefusedCase{"ChipsNotANumber",
                    {"--simulate", "--chips", "two"},
                    "--chips takes a whole number from 0 to 4, not 'two'."},
        RefusedCase{"SpeedNotANumber",
                    {"--simulate", "--magnet-speed", "fast"},
                    "--magnet-speed takes turns per second from -2500 to 2500, not 'fast'."},
        RefusedCase{"SpeedNotFinite",
                    {"--simulate", "--magnet-speed", "inf"},
                    "--magnet-speed takes turns per second from -2500 to 2500, not 'inf'."},
        RefusedCase{"SpeedTooHigh",
                    {"--simulate", "--magnet-speed", "2500.5"},
                    "--magnet-speed takes turns per second from -2500 to 2500, not '2500.5'."},
        RefusedCase{"SimulationWithoutSimulate",
                    {"--chips", "2"},
                    "--chips and the --magnet options need --simulate."},
        RefusedCase{"StrayArgument", {"--simulate", "adapter"}, "Unexpected argument 'adapter'."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramArguments, DriverChoice) {
    struct Case {
        std::vector<const char*> arguments;
        bool simulate;
        DriverChoice driver;
    };
    const Case cases[] = {
        {{}, false, DriverChoice::Auto},
        {{"--driver", "auto"}, false, DriverChoice::Auto},
        {{"--driver", "d2xx"}, false, DriverChoice::D2xx},
        {{"--driver=tty"}, false, DriverChoice::Tty},
        {{"--driver", "libftdi"}, false, DriverChoice::LibFtdi},
        {{"--driver", "sim", "--chips", "2"}, true, DriverChoice::Simulated},
        {{"--driver", "sim", "--simulate"}, true, DriverChoice::Simulated},
        {{"--simulate"}, true, DriverChoice::Simulated},
    };
    for (const Case& c : cases) {
        CommandLine commandLine;
        const QStringList arguments = argumentsOf(c.arguments);
        ASSERT_TRUE(commandLine.parse(arguments)) << commandLine.error().toStdString();
        EXPECT_EQ(commandLine.options().backend.simulated(), c.simulate)
            << arguments.join(' ').toStdString();
        EXPECT_EQ(commandLine.options().backend.driver, c.driver)
            << arguments.join(' ').toStdString();
    }

    const std::pair<std::vector<const char*>, const char*> refused[] = {
        {{"--driver", "usb"}, "--driver takes auto|d2xx|tty|libftdi|sim, not 'usb'."},
        {{"--simulate", "--driver", "tty"}, "--simulate and --driver tty exclude each other."},
        {{"--driver", "tty", "--chips", "2"}, "--chips and the --magnet options need --simulate."},
    };
    for (const auto& [arguments, error] : refused) {
        CommandLine commandLine;
        EXPECT_FALSE(commandLine.parse(argumentsOf(arguments)));
        EXPECT_EQ(commandLine.error().toStdString(), error);
    }
}

TEST(ProgramArguments, MagnetMountingErrors) {
    CommandLine mounted;
    ASSERT_TRUE(mounted.parse(argumentsOf(
        {"--simulate", "--magnet-off-centre", "20,90", "--magnet-tilt=3", "--magnet-speed", "1"})))
        << mounted.error().toStdString();
    const sim::SimulationOptions& o = mounted.options().backend.simulation;
    EXPECT_DOUBLE_EQ(o.offCentreCounts, 20.0);
    EXPECT_DOUBLE_EQ(o.offCentrePhaseDeg, 90.0);
    EXPECT_DOUBLE_EQ(o.tiltAgcLevels, 3.0);

    CommandLine countsOnly;
    ASSERT_TRUE(countsOnly.parse(argumentsOf({"--simulate", "--magnet-off-centre=12.5"})));
    EXPECT_DOUBLE_EQ(countsOnly.options().backend.simulation.offCentreCounts, 12.5);
    EXPECT_DOUBLE_EQ(countsOnly.options().backend.simulation.offCentrePhaseDeg, 0.0);
    EXPECT_DOUBLE_EQ(countsOnly.options().backend.simulation.tiltAgcLevels, 0.0);

    const char* offCentreError =
        "--magnet-off-centre takes COUNTS from 0 to 1024, optionally followed by ,PHASE in "
        "degrees, not '%1'.";
    const std::pair<std::vector<const char*>, QString> refused[] = {
        {{"--simulate", "--magnet-off-centre", "-1"}, QString(offCentreError).arg("-1")},
        {{"--simulate", "--magnet-off-centre", "1025"}, QString(offCentreError).arg("1025")},
        {{"--simulate", "--magnet-off-centre", "20,"}, QString(offCentreError).arg("20,")},
        {{"--simulate", "--magnet-off-centre", "20,east"}, QString(offCentreError).arg("20,east")},
        {{"--simulate", "--magnet-off-centre", "nan"}, QString(offCentreError).arg("nan")},
        {{"--simulate", "--magnet-tilt", "16"},
         "--magnet-tilt takes AGC levels from 0 to 15, not '16'."},
        {{"--simulate", "--magnet-tilt", "1 "},
         "--magnet-tilt takes AGC levels from 0 to 15, not '1 '."},
        {{"--magnet-tilt", "3"}, "--chips and the --magnet options need --simulate."},
    };
    for (const auto& [arguments, error] : refused) {
        CommandLine commandLine;
        EXPECT_FALSE(commandLine.parse(argumentsOf(arguments)));
        EXPECT_EQ(commandLine.error(), error);
    }
}

TEST(ProgramArguments, HelpAndVersionAreNoted) {
    CommandLine help;
    ASSERT_TRUE(help.parse(argumentsOf({"--help"})));
    EXPECT_TRUE(help.helpRequested());
    for (const char* listed : {"--simulate", "--chips <N>", "--magnet-speed <RPS>",
                               "--magnet-off-centre <COUNTS[,PHASE]>", "--magnet-tilt <LEVELS>",
                               "--version", "--driver <auto|d2xx|tty|libftdi|sim>"})
        EXPECT_TRUE(help.helpText().contains(QString::fromUtf8(listed))) << listed;

    CommandLine version;
    ASSERT_TRUE(version.parse(argumentsOf({"--version"})));
    EXPECT_TRUE(version.versionRequested());
    EXPECT_FALSE(version.helpRequested());
}

}  // namespace
}  // namespace qe::ui
