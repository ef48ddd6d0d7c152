#include <sys/stat.h>

#include "cli_rig.h"
#include "exit_status.h"

namespace qe::cli::test {
namespace {

using Args = std::vector<std::string>;

class ErrorPaths : public CliRig {};

TEST_F(ErrorPaths, UsageErrorsTouchNothing) {
    const struct {
        Args args;
        const char* err;
    } cases[] = {
        {{"frobnicate"}, "qe7204ctl: unknown command 'frobnicate'\nTry 'qe7204ctl --help'.\n"},
        {{"set", "Speed=3"},
         "qe7204ctl: unknown field 'Speed'; fields: ADDR, Reg35, Pdee, Pdtr, AGCdis, Pdint, Zin, "
         "Sign, MONAGC, BufSel, Abridis, Hyst, Res, UVW, Sth, SSIcfg, Dac, Dact\n"
         "Try 'qe7204ctl --help'.\n"},
        {{"set", "Res=1024", "Dact=Fast"},
         "qe7204ctl: Dact takes \"Linear voltage\", Tacho or a raw value 0, 1, not 'Fast'\n"
         "Try 'qe7204ctl --help'.\n"},
        {{"set", "Res"}, "qe7204ctl: set takes FIELD=VALUE, not 'Res'\nTry 'qe7204ctl --help'.\n"},
        {{"address", "128"},
         "qe7204ctl: ADDR takes a number from 0 to 127, not '128'\nTry 'qe7204ctl --help'.\n"},
        {{"zero", "12a"},
         "qe7204ctl: Zin takes a number from 0 to 4095, not '12a'\nTry 'qe7204ctl --help'.\n"},
        {{"power", "up"}, "qe7204ctl: power takes \"on\" or \"off\"\nTry 'qe7204ctl --help'.\n"},
        {{"watch", "--count", "0"},
         "qe7204ctl: --count takes a whole number from 1 to 1099511627776, not '0'\n"
         "Try 'qe7204ctl --help'.\n"},
        {{"show", "extra"}, "qe7204ctl: unexpected argument 'extra'\nTry 'qe7204ctl --help'.\n"},
        {{"show", "list"}, "qe7204ctl: unexpected argument 'list'\nTry 'qe7204ctl --help'.\n"},
        {{"watch", "--", "--json"},
         "qe7204ctl: unexpected argument '--json'\nTry 'qe7204ctl --help'.\n"},
        {{"zero", "--current", "5"},
         "qe7204ctl: zero takes N or --current, not both\nTry 'qe7204ctl --help'.\n"},
        {{"get", "--value=1", "Res"},
         "qe7204ctl: option --value takes no value\nTry 'qe7204ctl --help'.\n"},
        {{"help", "frobnicate"},
         "qe7204ctl: unknown command 'frobnicate'\nTry 'qe7204ctl --help'.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        for (bool simulated : {false, true}) {
            Args args = c.args;
            if (simulated) args.insert(args.begin(), {"--simulate", "--sim-state", path("s")});
            const Run r = run(args);
            EXPECT_EQ(r.status, kExitUsage);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, c.err);
        }
    }
    EXPECT_EQ(realDriversMade, 0);
    EXPECT_FALSE(std::filesystem::exists(path("s")));  // not even a simulated bench was made
}

TEST_F(ErrorPaths, UsageErrorsUnderJsonAreJson) {
    const struct {
        Args args;
        const char* error;
    } cases[] = {
        {{"--json", "show", "extra"}, "unexpected argument 'extra'"},
        {{"show", "extra", "--json"}, "unexpected argument 'extra'"},
        {{"frobnicate", "--json"}, "unknown command 'frobnicate'"},
        {{"--json", "--address", "200", "show"},
         "--address takes a chip address from 0 to 127, not '200'"},
        {{"watch", "--json", "--count=0"},
         "--count takes a whole number from 1 to 1099511627776, not '0'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Run r = run(c.args);
        EXPECT_EQ(r.status, kExitUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  std::string("{\"error\":\"") + c.error + "\",\"exit_status\":2,\"format\":1}\n");
    }
    EXPECT_EQ(realDriversMade, 0);
}

TEST_F(ErrorPaths, WhatAProductionScriptMeets) {
    const std::vector<std::uint8_t> odd(15, 0x5A);
    writeBytes("odd.qcf", odd);
    // Opening a FIFO with no writer would wait for ever; it is no file to read.
    ASSERT_EQ(::mkfifo(path("pipe.qcf").c_str(), 0600), 0);
    const std::string denied = "qe7204ctl: " + path("pipe.qcf") + ": File access denied\n";
    const std::string odd15 = "qe7204ctl: " + path("odd.qcf") +
                              ": 15 bytes, not 16 bytes: a .qcf file holds exactly the eight "
                              "words 48..55\n";
    const struct {
        Args args;
        int status;
        std::string err;
    } cases[] = {
        {{"show"}, kExitAdapter, "qe7204ctl: no QE7204 adapter found\n"},
        {{"list"}, kExitAdapter, "qe7204ctl: no QE7204 adapter found\n"},
        {{"--simulate", "--serial", "QE000009", "show"},
         kExitAdapter,
         "qe7204ctl: no QE7204 adapter with serial number QE000009\n"},
        {{"--simulate", "--chips", "0", "show"},
         kExitChip,
         "qe7204ctl: no chip answers on the bus\n"},
        {{"--simulate", "--chips", "2", "prog"},
         kExitChip,
         "qe7204ctl: It is not allowed to connected more than one QE7204! Chips answer at 0, 1; "
         "choose one with --address.\n"},
        {{"--simulate", "--address", "9", "show"},
         kExitChip,
         "qe7204ctl: no chip answers at address 9 (chips at 0)\n"},
        {{"--simulate", "load", path("missing.qcf")},
         kExitFile,
         "qe7204ctl: " + path("missing.qcf") + ": File not found\n"},
        {{"--simulate", "load", path("odd.qcf")}, kExitFile, odd15},
        {{"decode", path("odd.qcf")}, kExitFile, odd15},
        {{"--simulate", "--sim-state", path("odd.qcf"), "show"},
         kExitFailure,
         "qe7204ctl: " + path("odd.qcf") + " does not hold a simulated bench\n"},
        {{"--simulate", "load", path("pipe.qcf")}, kExitFile, denied},
        {{"decode", path("pipe.qcf")}, kExitFile, denied},
        {{"--simulate", "diff", path("pipe.qcf")}, kExitFile, denied},
        {{"--simulate", "--sim-state", path("pipe.qcf"), "show"},
         kExitFailure,
         "qe7204ctl: " + path("pipe.qcf") + " does not hold a simulated bench\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Run r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
    }
    // A file named by mistake as the bench state is left as it was.
    EXPECT_EQ(readBytes("odd.qcf"), odd);
    EXPECT_TRUE(std::filesystem::is_fifo(path("pipe.qcf")));
}

TEST_F(ErrorPaths, ASecondChipIsChosenByItsAddress) {
    const Run r = run({"--simulate", "--chips", "2", "--address", "1", "get", "ADDR"});
    EXPECT_EQ(r.status, kExitSuccess) << r.err;
    EXPECT_EQ(r.out, "1\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(ErrorPaths, RefusedAndUnverifiedWritesFail) {
    onSimulation = [](sim::SimulatedDriver& driver) { driver.adapter().refuseWritesTo(1); };
    const Run refused = run({"--simulate", "prog"});
    EXPECT_EQ(refused.status, kExitChip);
    EXPECT_EQ(refused.err, "qe7204ctl: Can not write to the EEPROM\n");

    onSimulation = [](sim::SimulatedDriver& driver) { driver.adapter().refuseWritesTo(51); };
    const Run setting = run({"--simulate", "set", "Res=1024"});
    EXPECT_EQ(setting.status, kExitChip);
    EXPECT_EQ(setting.err, "qe7204ctl: Reslution change was unsuccessful.\n");

    // Working words 52..55 that the EEPROM does not hold cannot be verified.
    onSimulation = nullptr;
    writeBytes("extra.qcf",
               {0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0xC0, 0x01, 0x34, 0x12, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(bench({"load", path("extra.qcf")}).status, kExitSuccess);
    const Run unverified = bench({"prog"});
    EXPECT_EQ(unverified.status, kExitChip);
    EXPECT_EQ(unverified.err, "qe7204ctl: The data was not correctly written to the EEPROM\n");
}

TEST_F(ErrorPaths, WatchStopsWhenTheAdapterIsGoneAndKeepsWhatItRead) {
    sim::SimulatedDriver* simulated = nullptr;
    onSimulation = [&](sim::SimulatedDriver& driver) { simulated = &driver; };
    int lines = 0;
    onLine = [&](const std::string&) {
        if (++lines == 2) simulated->adapter().unplug();
    };
    const Run r = run({"--simulate", "watch", "--count", "10"});
    EXPECT_EQ(r.status, kExitAdapter);
    EXPECT_EQ(r.err, "qe7204ctl: the adapter QE000001 stopped answering\n");
    EXPECT_EQ(lines, 2);
}

TEST_F(ErrorPaths, AReadWithoutAReplyIsAGapInTheLog) {
    sim::SimulatedDriver* simulated = nullptr;
    onSimulation = [&](sim::SimulatedDriver& driver) { simulated = &driver; };
    std::vector<std::string> lines;
    onLine = [&](const std::string& line) {
        lines.push_back(line);
        if (lines.size() == 1) simulated->adapter().loseNextReply();
    };
    const Run r = run({"--simulate", "watch", "--count", "3"});
    EXPECT_EQ(r.status, kExitSuccess) << r.err;
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[1].ends_with("Z\t...\n")) << lines[1];
    EXPECT_TRUE(lines[3].ends_with("Magnet in range\t50.0%\n")) << lines[3];

    // Replies that stay away end the watch.
    lines.clear();
    onLine = [&](const std::string& line) {
        lines.push_back(line);
        simulated->adapter().loseNextReply();
        if (lines.size() > 200) stop = true;  // never run away
    };
    const Run silent = run({"--simulate", "watch"});
    EXPECT_EQ(silent.status, kExitChip);
    EXPECT_EQ(silent.err, "qe7204ctl: the chip stopped answering\n");
    EXPECT_EQ(lines.size(), 100u);  // one readout, then gaps
    EXPECT_TRUE(lines.back().ends_with("\t...\n"));
}

TEST_F(ErrorPaths, CtrlCEndsAWatchCleanly) {
    int lines = 0;
    onLine = [&](const std::string&) {
        if (++lines == 3) stop = true;
    };
    const Run r = run({"--simulate", "watch"});
    EXPECT_EQ(r.status, kExitSuccess);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(lines, 3);

    // A log that was asked to be longer is not the log asked for.
    lines = 0;
    stop = false;
    const Run counted = run({"--simulate", "watch", "--count", "10"});
    EXPECT_EQ(counted.status, kExitInterrupted);
    EXPECT_EQ(counted.err, "qe7204ctl: stopped after 3 of 10 readouts\n");
    EXPECT_EQ(lines, 3);
}

TEST_F(ErrorPaths, AMagnetVerdictBelowTheRequiredOneFails) {
    const Args badMagnet{"--simulate", "--magnet-speed",
                         "0.5",        "--magnet-off-centre",
                         "20,30",      "--magnet-tilt",
                         "3",          "magnet-check",
                         "--turns",    "1"};
    for (const char* required : {"good", "marginal"}) {
        Args args = badMagnet;
        args.insert(args.end(), {"--require", required});
        const Run r = run(args);
        EXPECT_EQ(r.status, kExitVerdict) << required;
        EXPECT_EQ(r.out.rfind("Verdict: bad\n", 0), 0u) << r.out;  // the report still printed
        EXPECT_TRUE(r.err.ends_with(std::string("qe7204ctl: the magnet is bad, below --require ") +
                                    required + "\n"))
            << r.err;
    }
    EXPECT_EQ(run({"--simulate", "magnet-check", "--turns", "1", "--require", "good"}).status,
              kExitSuccess);
    EXPECT_EQ(run({"--simulate", "magnet-check", "--require", "fine"}).status, kExitUsage);
}

}  // namespace
}  // namespace qe::cli::test
