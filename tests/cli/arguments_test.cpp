#include <gtest/gtest.h>

#include "arguments.h"
#include "command.h"
#include "field_choice.h"

namespace qe::cli {
namespace {

using Args = std::vector<std::string>;

TEST(Arguments, GlobalOptionsComeBeforeOrAfterTheCommand) {
    const ParsedArguments parsed =
        parseArguments({"--simulate", "--sim-state=/tmp/s", "--chips", "2", "--address", "0x05",
                        "--trace", "--serial", "QE000001", "set", "Res=1024", "--json"});
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    const Arguments& a = parsed.arguments;
    EXPECT_TRUE(a.options.backend.simulated());
    EXPECT_EQ(a.options.backend.benchFile, "/tmp/s");
    EXPECT_EQ(a.options.backend.simulation.chips, 2);
    EXPECT_EQ(a.options.address, 5);
    EXPECT_TRUE(a.options.json);
    EXPECT_TRUE(a.options.trace);
    EXPECT_EQ(a.options.serial, "QE000001");
    ASSERT_NE(a.command, nullptr);
    EXPECT_STREQ(a.command->name, "set");
    EXPECT_EQ(a.prepare().error, "");

    // The command's own options stay its own, "--name=value" as "--name value"; after "--"
    // nothing is an option.
    const ParsedArguments watch =
        parseArguments({"watch", "--count=2", "--serial=QE000002", "--csv", "-", "--simulate"});
    ASSERT_TRUE(watch.ok()) << watch.error;
    EXPECT_EQ(watch.arguments.options.serial, "QE000002");
    EXPECT_TRUE(watch.arguments.options.backend.simulated());
    EXPECT_FALSE(watch.arguments.options.json);
    EXPECT_EQ(watch.arguments.prepare().error, "");
    EXPECT_EQ(parseArguments({"watch", "--count=0"}).arguments.prepare().error,
              "--count takes a whole number from 1 to 1099511627776, not '0'");
    EXPECT_EQ(parseArguments({"watch", "--", "--json"}).error, "unexpected argument '--json'");
    EXPECT_EQ(parseArguments({"set", "--", "-5"}).arguments.prepare().error,
              "set takes FIELD=VALUE, not '-5'");

    EXPECT_TRUE(parseArguments({"-V"}).arguments.version);
    EXPECT_TRUE(parseArguments({"show", "--help"}).arguments.help);
    EXPECT_EQ(parseArguments({"show", "--json=yes"}).error, "option --json takes no value");
    EXPECT_EQ(parseArguments({"show", "--address", "200"}).error,
              "--address takes a chip address from 0 to 127, not '200'");
}

TEST(Arguments, MistakesAreReportedInOneLine) {
    const struct {
        Args args;
        const char* error;
    } cases[] = {
        {{}, "no command given"},
        {{"--bogus", "show"}, "unknown option --bogus"},
        {{"--address"}, "option --address needs a value"},
        {{"--address", "128", "show"}, "--address takes a chip address from 0 to 127, not '128'"},
        {{"--address", "-1", "show"}, "--address takes a chip address from 0 to 127, not '-1'"},
        {{"--chips", "5", "--simulate", "show"},
         "--chips takes a whole number from 0 to 4, not '5'"},
        {{"--chips", "2", "show"},
         "--sim-state, --chips, --loaded-bus and the --magnet options need --simulate"},
        {{"--magnet-tilt", "3", "show"},
         "--sim-state, --chips, --loaded-bus and the --magnet options need --simulate"},
        {{"--simulate", "--magnet-off-centre", "20,x", "show"},
         "--magnet-off-centre takes COUNTS from 0 to 1024, optionally followed by ,PHASE in "
         "degrees, not '20,x'"},
        {{"--simulate", "--magnet-tilt=-1", "show"},
         "--magnet-tilt takes AGC levels from 0 to 15, not '-1'"},
        {{"--simulate", "--magnet-speed", "fast", "show"},
         "--magnet-speed takes turns per second from -2500 to 2500, not 'fast'"},
        {{"--json=yes", "show"}, "option --json takes no value"},
        {{"--serial=", "show"}, "option --serial needs a value"},
        {{"--simulate", "--driver", "d2xx", "show"},
         "--simulate and --driver d2xx exclude each other"},
        {{"--driver", "usb", "show"}, "--driver takes auto|d2xx|tty|libftdi|sim, not 'usb'"},
        {{"--loaded-bus", "show"},
         "--sim-state, --chips, --loaded-bus and the --magnet options need --simulate"},
        {{"--reply-timeout", "0", "show"},
         "--reply-timeout takes milliseconds from 1 to 60000, not '0'"},
        {{"--reply-timeout=60001", "show"},
         "--reply-timeout takes milliseconds from 1 to 60000, not '60001'"},
        {{"--reply-timeout", "soon", "show"},
         "--reply-timeout takes milliseconds from 1 to 60000, not 'soon'"},
    };
    for (const auto& c : cases) {
        const ParsedArguments parsed = parseArguments(c.args);
        EXPECT_EQ(parsed.error, c.error);
    }
    EXPECT_TRUE(parseArguments({"--help"}).ok());
    EXPECT_TRUE(parseArguments({"--driver", "sim", "show"}).arguments.options.backend.simulated());
    EXPECT_EQ(parseArguments({"--driver=tty", "show"}).arguments.options.backend.driver,
              DriverChoice::Tty);
    EXPECT_EQ(parseArguments({"--reply-timeout", "250", "show"}).arguments.options.replyTimeoutMs,
              250);
    EXPECT_FALSE(parseArguments({"show"}).arguments.options.replyTimeoutMs);
}

TEST(Arguments, HelpIsMadeFromTheDeclarations) {
    const std::string general = parseArguments({"--help"}).arguments.helpText;
    EXPECT_TRUE(general.starts_with("Usage: qe7204ctl [OPTION]... COMMAND [ARGUMENT]...\n"));
    EXPECT_EQ(parseArguments({"help"}).arguments.helpText, general);
    EXPECT_NE(general.find("\n  -V, --version               The program's version.\n"),
              std::string::npos)
        << general;
    EXPECT_NE(general.find("\n  130  interrupted"), std::string::npos) << general;
    for (const Command& command : commands()) {
        SCOPED_TRACE(command.name);
        // Listed on one line: the completion and the manual page check read the list so.
        std::string listed = std::string("\n  ") + command.name;
        listed.resize(std::max<std::size_t>(listed.size() + 2, 31), ' ');
        EXPECT_NE(general.find(listed + command.summary + "\n"), std::string::npos);

        const ParsedArguments asked = parseArguments({"help", command.name});
        ASSERT_TRUE(asked.ok()) << asked.error;
        const std::string& help = asked.arguments.helpText;
        EXPECT_TRUE(help.starts_with(std::string("Usage: qe7204ctl [OPTION]... ") + command.name))
            << help;
        EXPECT_NE(help.find(command.details), std::string::npos);
        EXPECT_EQ(parseArguments({command.name, "--help"}).arguments.helpText, help);
        EXPECT_EQ(parseArguments({"--simulate", "-h", command.name}).arguments.helpText, help);
        // The global options are accepted after the command without cluttering its help.
        EXPECT_EQ(help.find("--reply-timeout"), std::string::npos);
        EXPECT_EQ(help.find("Exit status"), std::string::npos);
    }
    const std::string watch = parseArguments({"help", "watch"}).arguments.helpText;
    EXPECT_TRUE(
        watch.starts_with("Usage: qe7204ctl [OPTION]... watch [--interval MS] [--count N] "
                          "[--csv FILE|-] [--force] [--rate max|HZ] [--in-flight N] "
                          "[--latency-ms 1|2]\nLog the live readout.\n\nOptions:\n"
                          "  --interval MS "))
        << watch;
    EXPECT_TRUE(
        parseArguments({"help", "set"})
            .arguments.helpText.starts_with("Usage: qe7204ctl [OPTION]... set FIELD=VALUE...\n"));
}

TEST(FieldChoice, ValuesAreItemTextsOrRawNumbers) {
    const struct {
        const char* field;
        const char* text;
        int item;
        int value;
    } accepted[] = {
        {"Res", "1024", 2, 2},
        {"res", "32", 7, 7},
        {"Res", "0x2", 2, 2},
        {"Res", "5", 5, 5},  // no item "5": the raw value
        {"Sth", "16", 7, 7},
        {"Dact", "tacho", 1, 1},
        {"Dact", "Linear voltage", 0, 0},
        {"Dac", "90", 2, 2},
        {"Dac", "90\u00B0", 2, 2},
        {"UVW", "1", 0, 0},  // item text before number
        {"UVW", "0x1", 1, 1},
        {"Reg35", "3 V", 1, 0},
        {"Reg35", "1", 0, 1},
        {"SSIcfg", "3", 2, 3},
        {"SSIcfg", "Ring register, position refreshed", 2, 3},
        {"Pdtr", "1:512", 2, 2},
        {"Hyst", "127", 127, 127},
        {"ADDR", "7", -1, 7},
        {"Zin", "4095", -1, 4095},
    };
    for (const auto& c : accepted) {
        SCOPED_TRACE(std::string(c.field) + "=" + c.text);
        const chip::WorkingField* field = chip::findWorkingField(c.field);
        ASSERT_NE(field, nullptr);
        const FieldChoice choice = parseFieldValue(*field, c.text);
        ASSERT_TRUE(choice.ok()) << choice.error;
        EXPECT_EQ(choice.item, c.item);
        EXPECT_EQ(choice.value, c.value);
    }

    const struct {
        const char* field;
        const char* text;
        const char* error;
    } refused[] = {
        {"SSIcfg", "2",
         "SSIcfg takes \"Single data, no ring register\", \"Ring register, position not "
         "refreshed\", \"Ring register, position refreshed\" or a raw value 0, 1, 3, not '2'"},
        {"Dact", "fast", "Dact takes \"Linear voltage\", Tacho or a raw value 0, 1, not 'fast'"},
        {"Res", "8",
         "Res takes 4096, 2048, 1024, 512, 256, 128, 64, 32 or a raw value 0, 1, 2, 3, 4, 5, 6, "
         "7, not '8'"},
        {"Zin", "4096", "Zin takes a number from 0 to 4095, not '4096'"},
        {"ADDR", "12a", "ADDR takes a number from 0 to 127, not '12a'"},
        {"ADDR", "", "ADDR takes a number from 0 to 127, not ''"},
        {"Hyst", "-1", "Hyst takes a number from 0 to 127, not '-1'"},
        {"MONAGC", "1", "MONAGC is shown but never changed"},
    };
    for (const auto& c : refused) {
        const FieldChoice choice = parseFieldValue(*chip::findWorkingField(c.field), c.text);
        EXPECT_EQ(choice.error, c.error);
    }
}

}  // namespace
}  // namespace qe::cli
