// qe7204ctl program: one unit in one run on the simulated adapter; the record it leaves,
// whether the unit passed or not.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include "cli_rig.h"
#include "exit_status.h"

namespace qe::cli::test {
namespace {

using Args = std::vector<std::string>;

// Resolution 1024, Tacho, Sth 64, CCW and hysteresis 5: not what a fresh chip holds.
const std::vector<std::uint8_t> kGolden{0x00, 0x01, 0x00, 0x10, 0x05, 0x00, 0x42, 0x81,
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
// sha256sum of kGolden.
constexpr const char* kGoldenSha256 =
    "2ab1ece3b1dfcecd83763d390f987423ab4dab9056116f836742e899965da04b";

class Program : public CliRig {
protected:
    void SetUp() override {
        CliRig::SetUp();
        writeBytes("golden.qcf", kGolden);
        onSimulation = [this](sim::SimulatedDriver& driver) {
            simulated = &driver;
            if (arm) arm(driver.adapter());
        };
    }

    QJsonObject record() {
        const std::vector<std::uint8_t> bytes = readBytes("unit.json");
        return QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size())))
            .object();
    }

    // What --trace told on stderr, without the time stamps.
    static std::vector<std::string> traced(const std::string& err) {
        std::vector<std::string> lines;
        std::istringstream in(err);
        for (std::string line; std::getline(in, line);)
            if (line.starts_with("trace ")) {
                const std::size_t time = line.find_first_not_of(' ', 6);
                lines.push_back(line.substr(line.find(' ', time) + 1));
            }
        return lines;
    }
    // Everything else on stderr.
    static std::string messages(const std::string& err) {
        std::string text;
        std::istringstream in(err);
        for (std::string line; std::getline(in, line);)
            if (!line.starts_with("trace ")) text += line + "\n";
        return text;
    }

    static std::vector<std::string> stepNames(const QJsonObject& record) {
        std::vector<std::string> names;
        for (const QJsonValue& step : record["steps"].toArray())
            names.push_back(step["step"].toString().toStdString() + " " +
                            step["result"].toString().toStdString());
        return names;
    }

    static QJsonArray goldenWords() { return {0x0100, 0x1000, 0x0005, 0x8142, 0, 0, 0, 0}; }

    sim::SimulatedDriver* simulated = nullptr;
    std::function<void(sim::SimulatedAdapter&)> arm;
};

TEST_F(Program, AGoodUnitOnOneOpenOfTheAdapterWithACompleteRecord) {
    const Run r = run({"--simulate", "--trace", "program", "--verify-power-cycle", "--record",
                       path("unit.json"), path("golden.qcf")});
    ASSERT_EQ(r.status, kExitSuccess) << r.err;
    EXPECT_EQ(messages(r.err), "");
    const std::vector<std::string> t = traced(r.err);
    const auto at = [&](const std::string& text) {
        return std::find(t.begin(), t.end(), text) - t.begin();
    };
    const auto count = [&](const std::string& text) {
        return std::count(t.begin(), t.end(), text);
    };
    EXPECT_EQ(count("open by serial \"QE000001\""), 1);
    EXPECT_EQ(t.back(), "close");  // only at the end
    EXPECT_EQ(count("close"), 1);
    // The golden words into the working registers, then PROG's EEPROM words and read-back,
    // then the supply off and on.
    EXPECT_LT(at("-> 59 00 30 01 00  write chip 0 register 48 = 0x0100"),
              at("-> 59 00 37 00 00  write chip 0 register 55 = 0x0000"));
    EXPECT_LT(at("-> 59 00 37 00 00  write chip 0 register 55 = 0x0000"),
              at("-> 59 00 00 01 00  write chip 0 register 0 = 0x0100"));
    EXPECT_LT(at("-> 59 00 03 81 42  write chip 0 register 3 = 0x8142"),
              at("-> 5A 03 00  power off"));
    EXPECT_LT(at("-> 5A 03 00  power off"), static_cast<long>(t.size()));
    EXPECT_EQ(count("-> 5A 03 FF  power on"), 2);
    EXPECT_EQ(count("-> 57 00  read all registers of chip 0"), 5);

    const QJsonObject rec = record();
    EXPECT_EQ(rec["format"].toInt(), 1);
    EXPECT_EQ(rec["tool"].toString(), "qe7204ctl");
    EXPECT_EQ("qe7204ctl " + rec["tool_version"].toString().toStdString() + "\n", run({"-V"}).out);
    EXPECT_FALSE(rec["started"].toString().isEmpty());
    EXPECT_EQ(rec["adapter"].toObject(), (QJsonObject{{"serial", "QE000001"}, {"backend", "sim"}}));
    EXPECT_EQ(rec["chip_address"].toInt(-1), 0);
    EXPECT_EQ(rec["golden"].toObject(),
              (QJsonObject{{"file", QString::fromStdString(path("golden.qcf"))},
                           {"sha256", kGoldenSha256}}));
    const QJsonObject words = rec["words"].toObject();
    EXPECT_EQ(words["written"].toArray(), goldenWords());
    EXPECT_EQ(words["eeprom_words_written"].toInt(), 4);
    for (const char* readBack : {"read_back", "after_power_cycle"}) {
        SCOPED_TRACE(readBack);
        EXPECT_EQ(words[readBack]["working"].toArray(), goldenWords());
        EXPECT_EQ(words[readBack]["eeprom"].toArray(), goldenWords());
    }
    EXPECT_EQ(stepNames(rec),
              (std::vector<std::string>{"golden ok", "adapter ok", "chip ok", "load ok", "prog ok",
                                        "verify ok", "power-cycle ok"}));
    for (const QJsonValue& step : rec["steps"].toArray())
        EXPECT_GE(step["duration_ms"].toInt(-1), 0);
    // The supply stays off for half a second on the clock.
    EXPECT_GE(rec["steps"].toArray()[6].toObject()["duration_ms"].toInt(), 500);
    EXPECT_EQ(rec["result"].toString(), "pass");
    EXPECT_EQ(rec["exit_status"].toInt(-1), 0);
    EXPECT_TRUE(rec["failed_step"].isNull());
    EXPECT_TRUE(rec["reason"].isNull());
    EXPECT_TRUE(rec["magnet"].isNull());
    EXPECT_TRUE(rec["log"].isNull());

    // One line per step, then the verdict; with --json the record itself.
    EXPECT_TRUE(r.out.starts_with("golden\tok\t0 ms\nadapter\tok\t")) << r.out;
    EXPECT_NE(r.out.find("\npower-cycle\tok\t5"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("\npass\n")) << r.out;
    const Run json = run({"--simulate", "program", path("golden.qcf"), "--json"});
    EXPECT_EQ(json.status, kExitSuccess);
    const QJsonObject printed =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_EQ(printed["result"].toString(), "pass");
    EXPECT_EQ(printed["format"].toInt(), 1);
}

TEST_F(Program, AGoldenFileNotOfSixteenBytesIsRefusedWithNothingWritten) {
    for (const std::size_t length : {0u, 4u, 17u}) {
        SCOPED_TRACE(length);
        writeBytes("short.qcf", std::vector<std::uint8_t>(length, 0x68));
        std::filesystem::remove(path("unit.json"));
        simulated = nullptr;
        const Run r = run(
            {"--simulate", "--trace", "program", "--record", path("unit.json"), path("short.qcf")});
        EXPECT_EQ(r.status, kExitFile);
        EXPECT_EQ(r.err, "qe7204ctl: " + path("short.qcf") + ": " + std::to_string(length) +
                             " bytes, not 16 bytes: a .qcf file holds exactly the eight words "
                             "48..55\n");
        // Not even the simulated adapter was made, so no frame reached a chip.
        EXPECT_EQ(simulated, nullptr);
        const QJsonObject rec = record();
        EXPECT_EQ(rec["result"].toString(), "fail");
        EXPECT_EQ(rec["failed_step"].toString(), "golden");
        EXPECT_EQ(rec["exit_status"].toInt(), kExitFile);
        EXPECT_TRUE(rec["golden"]["sha256"].isNull());
        EXPECT_TRUE(rec["words"]["written"].isNull());
        EXPECT_EQ(stepNames(rec), std::vector<std::string>{"golden failed"});
    }
}

TEST_F(Program, AnAdapterLostOnTheWayIsNamedWithWhatTheEepromHolds) {
    // Where each frame comes among the writes of a good run.
    std::vector<std::string> sent;
    for (const std::string& line :
         traced(run({"--simulate", "--trace", "program", path("golden.qcf")}).err))
        if (line.starts_with("-> ")) sent.push_back(line);
    const auto writesBefore = [&](const std::string& frame) {
        const auto it = std::find_if(sent.begin(), sent.end(), [&](const std::string& line) {
            return line.starts_with(frame);
        });
        EXPECT_NE(it, sent.end()) << frame;
        return static_cast<unsigned>(it - sent.begin());
    };
    const struct {
        const char* frame;  // the cable is pulled as this frame is written
        std::string err;
        std::string failedStep;
        int wordsWritten;  // -1: prog never ran
    } cases[] = {
        {"-> 58  scan bus", "during chip", "chip", -1},
        {"-> 59 00 31", "during load", "load", -1},
        {"-> 59 00 00", "during prog before any EEPROM word was written", "prog", 0},
        {"-> 59 00 01", "during prog after EEPROM word 0 was written", "prog", 1},
        {"-> 59 00 02", "during prog after EEPROM words 0..1 were written", "prog", 2},
        {"-> 59 00 03", "during prog after EEPROM words 0..2 were written", "prog", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        const unsigned writes = writesBefore(c.frame);
        arm = [&](sim::SimulatedAdapter& adapter) { adapter.unplugAtWrite(writes); };
        const Run r = run({"--simulate", "program", "--force", "--record", path("unit.json"),
                           path("golden.qcf")});
        EXPECT_EQ(r.status, kExitAdapter);
        EXPECT_EQ(r.err, "qe7204ctl: the adapter QE000001 was lost " + c.err +
                             ": re-seat it and run again\n");
        const QJsonObject rec = record();
        EXPECT_EQ(rec["failed_step"].toString().toStdString(), c.failedStep);
        EXPECT_EQ(rec["exit_status"].toInt(), kExitAdapter);
        EXPECT_EQ(rec["words"]["eeprom_words_written"].toInt(-1), c.wordsWritten);
        EXPECT_EQ(stepNames(rec).back(), c.failedStep + " failed");
    }
}

TEST_F(Program, ABadMagnetBelowTheRequiredVerdictFailsTheUnit) {
    const Run r = run({"--simulate", "--magnet-speed", "0.5", "--magnet-off-centre", "20,30",
                       "--magnet-tilt", "3", "program", "--magnet-check", "--require", "good",
                       "--record", path("unit.json"), path("golden.qcf")});
    EXPECT_EQ(r.status, kExitVerdict);
    EXPECT_TRUE(r.err.ends_with("qe7204ctl: the magnet is bad, below --require good\n")) << r.err;
    const QJsonObject rec = record();
    EXPECT_EQ(rec["failed_step"].toString(), "magnet-check");
    EXPECT_EQ(rec["exit_status"].toInt(), kExitVerdict);
    EXPECT_EQ(rec["magnet"]["verdict"].toString(), "bad");
    EXPECT_EQ(rec["magnet"]["adapter_serial"].toString(), "QE000001");

    const Run good = run({"--simulate", "program", "--magnet-check", "--require", "good", "--force",
                          "--record", path("unit.json"), path("golden.qcf")});
    EXPECT_EQ(good.status, kExitSuccess) << good.err;
    const QJsonObject passed = record();
    EXPECT_EQ(passed["magnet"].toObject()["verdict"].toString(), "good");
}

TEST_F(Program, TheLogIsRecordedWithItsRows) {
    const Run r = run({"--simulate", "program", "--log", "5", path("log.csv"), "--record",
                       path("unit.json"), path("golden.qcf")});
    ASSERT_EQ(r.status, kExitSuccess) << r.err;
    const QJsonObject log = record()["log"].toObject();
    EXPECT_EQ(log, (QJsonObject{{"file", QString::fromStdString(path("log.csv"))},
                                {"asked", 5},
                                {"readings", 5},
                                {"rows", 5},
                                {"gaps", 0}}));
    const std::vector<std::uint8_t> csv = readBytes("log.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 7);  // comment, header, five rows
}

TEST_F(Program, AReadoutWithoutAReplyIsAGapTheRecordCounts) {
    // The first read of the log, once the unit is verified, gets no reply.
    onLine = [&](const std::string& line) {
        if (line.starts_with("verify\t")) simulated->adapter().loseNextReply();
    };
    const Run r = run({"--simulate", "program", "--log", "5", path("log.csv"), "--record",
                       path("unit.json"), path("golden.qcf")});
    ASSERT_EQ(r.status, kExitSuccess) << r.err;
    EXPECT_EQ(record()["log"].toObject(),
              (QJsonObject{{"file", QString::fromStdString(path("log.csv"))},
                           {"asked", 5},
                           {"readings", 5},
                           {"rows", 5},
                           {"gaps", 1}}));
    const std::vector<std::uint8_t> csv = readBytes("log.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 7);  // a gap is no row
}

TEST_F(Program, WhatIsRefusedBeforeAnythingIsTouched) {
    writeBytes("there.csv", {'x'});
    const struct {
        Args args;
        int status;
        std::string err;
    } cases[] = {
        {{"program"}, kExitUsage, "qe7204ctl: program takes one golden .qcf file\n"},
        {{"program", "a.qcf", "b.qcf"},
         kExitUsage,
         "qe7204ctl: program takes one golden .qcf file\n"},
        {{"program", "--require", "good", "g.qcf"},
         kExitUsage,
         "qe7204ctl: --require goes with --magnet-check\n"},
        {{"program", "--log", "0", "x.csv", "g.qcf"},
         kExitUsage,
         "qe7204ctl: --log takes a count from 1 to 1099511627776 and a file name, not '0'\n"},
        {{"program", "--log", "5"}, kExitUsage, "qe7204ctl: --log takes a count and a file name\n"},
        {{"program", "--record"}, kExitUsage, "qe7204ctl: --record takes a file name\n"},
        {{"program", "--fast", "g.qcf"}, kExitUsage, "qe7204ctl: program does not take '--fast'\n"},
        {{"program", "--log=5", path("there.csv"), path("golden.qcf")},
         kExitFile,
         "qe7204ctl: " + path("there.csv") + ": the file exists; --force replaces it\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        Args args = c.args;
        args.insert(args.begin(), "--simulate");
        const Run r = run(args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.starts_with(c.err)) << r.err;
        EXPECT_EQ(simulated, nullptr);
    }
    EXPECT_EQ(readBytes("there.csv"), std::vector<std::uint8_t>{'x'});
}

TEST_F(Program, SeveralChipsOnTheBusAreNoUnit) {
    const Run r = run({"--simulate", "--trace", "--chips", "2", "--address", "1", "program",
                       "--record", path("unit.json"), path("golden.qcf")});
    EXPECT_EQ(r.status, kExitChip);
    EXPECT_EQ(messages(r.err),
              "qe7204ctl: 2 chips answer on the bus: program one unit at a time\n");
    EXPECT_EQ(record()["failed_step"].toString(), "chip");
    for (const std::string& line : traced(r.err))
        EXPECT_EQ(line.find("write chip"), std::string::npos) << line;
}

}  // namespace
}  // namespace qe::cli::test
