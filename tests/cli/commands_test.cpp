#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include "cli_rig.h"
#include "exit_status.h"

namespace qe::cli::test {
namespace {

using Args = std::vector<std::string>;

const QJsonObject json(const std::string& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return document.object();
}

class Commands : public CliRig {};

// A fresh simulated chip at address 0 with the typical configuration: 3.3 V, hysteresis 1,
// resolution 4096, tacho range 16 Hz, linear voltage over 360 degrees.
TEST_F(Commands, EachCommandOnAFreshSimulatedChip) {
    const struct {
        Args args;
        int status;
        const char* out;
    } cases[] = {
        {{"list"}, kExitSuccess, "QE000001\tfree\tsim\tQE7204 interface\n"},
        {{"scan"}, kExitSuccess, "0\n"},
        {{"power", "on"}, kExitSuccess, "supply on; chips at 0\n"},
        {{"power", "off"}, kExitSuccess, "supply off\n"},
        {{"get", "Res"}, kExitSuccess, "4096\n"},
        {{"get", "sth"}, kExitSuccess, "16\n"},
        {{"get", "--value", "Sth"}, kExitSuccess, "7\n"},
        {{"get", "Hyst"}, kExitSuccess, "1 (0.09\u00B0)\n"},
        {{"set", "Res=1024", "Sth=0x2", "Dact=Tacho"},
         kExitSuccess,
         "Res=1024\nSth=512\nDact=Tacho\n"},
        {{"set", "SSIcfg=Ring register, position refreshed"},
         kExitSuccess,
         "SSIcfg=Ring register, position refreshed\n"},
        {{"address", "007"}, kExitSuccess, "ADDR=7\n"},
        {{"zero", "1234"}, kExitSuccess, "Zin=1234\n"},
        {{"zero", "--current"}, kExitSuccess, "Zin=0\n"},
        {{"hysteresis", "10"}, kExitSuccess, "Hyst=10 (0.88\u00B0)\n"},
        {{"prog"}, kExitSuccess, "EEPROM programmed and verified\n"},
        {{"read-eeprom"}, kExitSuccess, "settings read from the EEPROM; chip at address 0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        Args args = c.args;
        args.insert(args.begin(), {"--simulate", "--magnet-speed", "0"});
        const Run r = run(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(Commands, ShowMarksWhereTheWorkingRegistersDifferFromTheEeprom) {
    ASSERT_EQ(bench({"set", "Res=1024"}).status, kExitSuccess);
    const Run shown = bench({"show"});
    ASSERT_EQ(shown.status, kExitSuccess) << shown.err;
    EXPECT_NE(shown.out.find("  FIELD    WORKING"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\n  Reg35    3.3 V"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\n* Res      1024"), std::string::npos) << shown.out;
    EXPECT_TRUE(std::regex_search(shown.out, std::regex("\n\\* word51 +0x01C2 +0x01C0\n")))
        << shown.out;
    EXPECT_NE(shown.out.find("\n  word48   0x0100"), std::string::npos) << shown.out;

    const Run asJson = bench({"--json", "show"});
    ASSERT_EQ(asJson.status, kExitSuccess) << asJson.err;
    EXPECT_EQ(bench({"show", "--json"}).out, asJson.out);
    const QJsonObject document = json(asJson.out);
    const QJsonObject res = document["fields"]["Res"].toObject();
    EXPECT_EQ(res["working"]["text"].toString(), "1024");
    EXPECT_EQ(res["working"]["value"].toInt(), 2);
    EXPECT_EQ(res["eeprom"]["text"].toString(), "4096");
    EXPECT_TRUE(res["differs"].toBool());
    EXPECT_FALSE(document["fields"]["Sth"]["differs"].toBool());
    EXPECT_EQ(document["words"]["51"]["working"]["value"].toInt(), 0x01C2);
    EXPECT_EQ(document["chip"].toInt(), 0);
}

// A golden file may be read-only. Root may open any file for writing, so whether load
// asked for writing is told by the kernel: a file opened for writing reports IN_CLOSE_WRITE.
TEST_F(Commands, LoadsAFileItMayOnlyRead) {
    writeBytes("golden.qcf",
               {0x00, 0x01, 0x00, 0x10, 0x05, 0x00, 0x42, 0x81, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(::chmod(path("golden.qcf").c_str(), 0444), 0);
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    ASSERT_GE(
        ::inotify_add_watch(watcher, path("golden.qcf").c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE),
        0);

    const Run loaded = bench({"load", path("golden.qcf")});
    EXPECT_EQ(loaded.status, kExitSuccess) << loaded.err;
    EXPECT_EQ(bench({"diff", path("golden.qcf")}).status, kExitSuccess);

    alignas(inotify_event) char events[4096];
    std::uint32_t closes = 0;
    int reads = 0;
    for (ssize_t got; (got = ::read(watcher, events, sizeof events)) > 0;)
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            closes |= event->mask;
            reads += (event->mask & IN_CLOSE_NOWRITE) ? 1 : 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    ::close(watcher);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(closes & IN_CLOSE_WRITE, 0u);
}

// On the command line a golden file holds the eight words whole; anything else is refused
// before an adapter, even a simulated one, is made.
TEST_F(Commands, ConfigurationFilesOfAnyOtherLengthThanSixteenBytesAreRefused) {
    writeBytes("good.qcf", std::vector<std::uint8_t>(16, 0));
    int simulationsMade = 0;
    onSimulation = [&](sim::SimulatedDriver&) { ++simulationsMade; };
    for (const std::size_t size : {0u, 4u, 17u}) {
        const std::string file = path(std::to_string(size) + ".qcf");
        writeBytes(std::to_string(size) + ".qcf", std::vector<std::uint8_t>(size, 0x05));
        const std::string reason = "qe7204ctl: " + file + ": " + std::to_string(size) +
                                   " bytes, not 16 bytes: a .qcf file holds exactly the eight "
                                   "words 48..55\n";
        for (const Args& args : std::vector<Args>{{"--simulate", "--trace", "load", file},
                                                  {"--simulate", "--trace", "diff", file},
                                                  {"diff", path("good.qcf"), file},
                                                  {"diff", file, path("good.qcf")},
                                                  {"decode", file}}) {
            SCOPED_TRACE(::testing::PrintToString(args));
            const Run r = run(args);
            EXPECT_EQ(r.status, kExitFile);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, reason);  // --trace shows no frame
        }
    }
    EXPECT_EQ(simulationsMade, 0);
    EXPECT_EQ(realDriversMade, 0);

    // With --json the failure is JSON too.
    const Run asJson = run({"decode", path("4.qcf"), "--json"});
    EXPECT_EQ(asJson.status, kExitFile);
    EXPECT_EQ(asJson.out, "");
    const QJsonObject error = json(asJson.err);
    EXPECT_EQ(error["exit_status"].toInt(), kExitFile);
    EXPECT_TRUE(
        error["error"].toString().endsWith(": 4 bytes, not 16 bytes: a .qcf file holds "
                                           "exactly the eight words 48..55"))
        << asJson.err;
    const Run noChip = run({"--simulate", "--chips", "0", "show", "--json"});
    EXPECT_EQ(noChip.status, kExitChip);
    EXPECT_EQ(noChip.err,
              "{\"error\":\"no chip answers on the bus\",\"exit_status\":5,\"format\":1}\n");
}

// Standing in for a full disk or a closed pipe: every write fails.
struct FullStreamBuffer : std::streambuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
};

// A reader checks the version of what it reads: every document says it.
TEST_F(Commands, EveryJsonDocumentNamesItsFormat) {
    writeBytes("g.qcf", std::vector<std::uint8_t>(16, 0));
    for (const Args& args : std::vector<Args>{{"list"},
                                              {"scan"},
                                              {"show"},
                                              {"get", "Res"},
                                              {"set", "Res=1024"},
                                              {"prog"},
                                              {"decode", path("g.qcf")},
                                              {"diff", path("g.qcf"), path("g.qcf")},
                                              {"magnet-check", "--turns", "1"},
                                              {"program", path("g.qcf")}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        Args withJson{"--simulate", "--json"};
        withJson.insert(withJson.end(), args.begin(), args.end());
        const Run r = run(withJson);
        EXPECT_EQ(r.status, kExitSuccess) << r.err;
        EXPECT_EQ(json(r.out)["format"].toInt(), 1) << r.out;
    }
    const Run lines = run({"--simulate", "--json", "watch", "--count", "2"});
    EXPECT_EQ(std::count(lines.out.begin(), lines.out.end(), '\n'), 2);
    EXPECT_EQ(json(lines.out.substr(0, lines.out.find('\n')))["format"].toInt(), 1);
}

TEST_F(Commands, AResultThatCannotBeWrittenIsAFailure) {
    for (const Args& args : std::vector<Args>{{"--simulate", "show"}, {"--version"}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        FullStreamBuffer full;
        std::ostream out(&full);
        std::ostringstream err;
        Environment environment{clock, out, err, stop, nullptr, true, nullptr};
        EXPECT_EQ(runQe7204ctl(args, environment), kExitFailure);
        EXPECT_EQ(err.str(), "qe7204ctl: standard output cannot be written\n");
    }
}

TEST_F(Commands, LoadProgVerifySaveCycle) {
    // A golden configuration made on one chip...
    ASSERT_EQ(bench({"set", "Res=1024", "Dact=Tacho", "Sth=64", "Sign=CCW"}).status, kExitSuccess);
    ASSERT_EQ(bench({"hysteresis", "5"}).status, kExitSuccess);
    ASSERT_EQ(bench({"save", path("golden.qcf")}).out, "saved " + path("golden.qcf") + "\n");
    std::filesystem::remove(path("bench.state"));

    // ...differs from a fresh chip, goes into it and into its EEPROM...
    EXPECT_EQ(bench({"diff", path("golden.qcf")}).status, kExitDifferences);
    EXPECT_EQ(bench({"load", path("golden.qcf")}).out,
              "loaded " + path("golden.qcf") + " into the chip at address 0\n");
    EXPECT_EQ(bench({"diff", path("golden.qcf")}).status, kExitSuccess);
    const Run before = bench({"--json", "show"});
    EXPECT_TRUE(json(before.out)["fields"]["Res"]["differs"].toBool());
    EXPECT_EQ(bench({"prog"}).status, kExitSuccess);

    // ...and stays there over a power cycle.
    EXPECT_EQ(bench({"power", "off"}).status, kExitSuccess);
    const Run after = bench({"diff", path("golden.qcf")});
    EXPECT_EQ(after.status, kExitSuccess) << after.out << after.err;
    EXPECT_EQ(after.out, "");
    EXPECT_FALSE(json(bench({"--json", "show"}).out)["fields"]["Res"]["differs"].toBool());
    ASSERT_EQ(bench({"save", path("copy.qcf")}).status, kExitSuccess);
    EXPECT_EQ(readBytes("copy.qcf"), readBytes("golden.qcf"));
    EXPECT_EQ(readBytes("golden.qcf"),
              (std::vector<std::uint8_t>{0x00, 0x01, 0x00, 0x10, 0x05, 0x00, 0x42, 0x81, 0, 0, 0, 0,
                                         0, 0, 0, 0}));
}

TEST_F(Commands, DiffAndDecodeOfFiles) {
    writeBytes("a.qcf", {0x05, 0x02, 0x00, 0x18, 0x05, 0x00, 0x47, 0x80, 0, 0, 0, 0, 0, 0, 0, 0});
    writeBytes("b.qcf", {0x05, 0x02, 0x00, 0x18, 0x05, 0x00, 0x47, 0x00, 0, 0, 0, 0, 0, 0, 0, 0});

    const Run decoded = run({"decode", path("a.qcf")});
    ASSERT_EQ(decoded.status, kExitSuccess) << decoded.err;
    EXPECT_NE(decoded.out.find("\n  ADDR     5\n"), std::string::npos) << decoded.out;
    EXPECT_NE(decoded.out.find("\n  Pdee     Enabled\n"), std::string::npos) << decoded.out;
    EXPECT_NE(decoded.out.find("\n  Zin      2048\n  Sign     CCW\n"), std::string::npos)
        << decoded.out;
    EXPECT_NE(decoded.out.find("\n  Dact     Tacho\n"), std::string::npos) << decoded.out;
    EXPECT_NE(decoded.out.find("\n  word51   0x8047\n"), std::string::npos) << decoded.out;

    const Run same = run({"diff", path("a.qcf"), path("a.qcf")});
    EXPECT_EQ(same.status, kExitSuccess);
    EXPECT_EQ(same.out, "");
    const Run differ = run({"diff", path("a.qcf"), path("b.qcf")});
    EXPECT_EQ(differ.status, kExitDifferences);
    const std::string a = path("a.qcf");
    EXPECT_NE(differ.out.find("* Dact     Tacho"), std::string::npos) << differ.out;
    EXPECT_NE(differ.out.find("* word51   0x8047"), std::string::npos) << differ.out;
    EXPECT_EQ(differ.out.find("ADDR"), std::string::npos) << differ.out;
    const QJsonObject diffDocument = json(run({"--json", "diff", a, path("b.qcf")}).out);
    EXPECT_FALSE(diffDocument["identical"].toBool());
    EXPECT_EQ(diffDocument["fields"]["Dact"]["right"]["text"].toString(), "Linear voltage");
    EXPECT_EQ(realDriversMade, 0);  // files alone need no adapter
}

// SSIcfg 2 shows like 0 on the panel; a comparison still tells the two apart, as the window does.
TEST_F(Commands, DiffTellsValuesThatShowTheSameItemApart) {
    writeBytes("ssi0.qcf",
               {0x05, 0x02, 0x00, 0x18, 0x05, 0x00, 0x47, 0x80, 0, 0, 0, 0, 0, 0, 0, 0});
    writeBytes("ssi2.qcf",
               {0x05, 0x02, 0x00, 0x18, 0x05, 0x00, 0x47, 0x90, 0, 0, 0, 0, 0, 0, 0, 0});
    const Run differ = run({"diff", path("ssi0.qcf"), path("ssi2.qcf")});
    EXPECT_EQ(differ.status, kExitDifferences);
    const std::size_t row = differ.out.find("\n* SSIcfg   Single data, no ring register  ");
    ASSERT_NE(row, std::string::npos) << differ.out;
    const std::string line = differ.out.substr(row + 1, differ.out.find('\n', row + 1) - row - 1);
    EXPECT_TRUE(line.ends_with("  Single data, no ring register (value 2)")) << line;
    const QJsonObject document =
        json(run({"--json", "diff", path("ssi0.qcf"), path("ssi2.qcf")}).out);
    EXPECT_EQ(document["fields"]["SSIcfg"]["left"]["text"].toString(),
              "Single data, no ring register");
    EXPECT_EQ(document["fields"]["SSIcfg"]["right"]["text"].toString(),
              "Single data, no ring register (value 2)");
    EXPECT_EQ(document["fields"]["SSIcfg"]["right"]["value"].toInt(), 2);
}

TEST_F(Commands, WatchLogsTheReadoutAsJsonLines) {
    const Run watched = run({"--simulate", "--json", "watch", "--count", "3", "--interval", "100"});
    ASSERT_EQ(watched.status, kExitSuccess) << watched.err;
    std::istringstream lines(watched.out);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        const QJsonObject reading = json(line);
        EXPECT_TRUE(reading["ok"].toBool());
        EXPECT_EQ(reading["magnet"].toString(), "Magnet in range");
        EXPECT_EQ(reading["resolution"].toInt(), 4096);
        EXPECT_TRUE(reading["time"].toString().endsWith('Z'));
        EXPECT_GE(reading["counts"].toInt(), 0);
        ++count;
    }
    EXPECT_EQ(count, 3);
}

TEST_F(Commands, WatchWritesTheReadoutsAsCsv) {
    const Run toFile = run({"--simulate", "watch", "--count", "4", "--csv", path("log.csv")});
    ASSERT_EQ(toFile.status, kExitSuccess) << toFile.err;
    EXPECT_EQ(toFile.out, "4 readouts written to " + path("log.csv") + "\n");
    const std::vector<std::uint8_t> bytes = readBytes("log.csv");
    std::istringstream csv(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(csv, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "# QE7204 readouts; chip address 0; adapter serial QE000001");
    EXPECT_TRUE(lines[1].starts_with("time,elapsed_s,RelPos,")) << lines[1];
    const std::regex row(
        "20\\d\\d-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,.*,Magnet in range,.*");
    for (std::size_t i = 2; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], row)) << lines[i];

    const Run toOutput = run({"--simulate", "watch", "--count", "2", "--csv", "-"});
    ASSERT_EQ(toOutput.status, kExitSuccess) << toOutput.err;
    EXPECT_TRUE(toOutput.out.starts_with("# QE7204 readouts; chip address 0;")) << toOutput.out;
    EXPECT_EQ(std::count(toOutput.out.begin(), toOutput.out.end(), '\n'), 4);

    const Run unwritable = run({"--simulate", "watch", "--csv", path("no/such/folder.csv")});
    EXPECT_EQ(unwritable.status, kExitFile);
    EXPECT_TRUE(unwritable.err.starts_with("qe7204ctl: " + path("no/such/folder.csv") + ": "))
        << unwritable.err;
}

// A log or a saved configuration does not silently take the place of a file already there.
TEST_F(Commands, AFileAlreadyThereIsReplacedOnlyWithForce) {
    const std::vector<std::uint8_t> kept{'k', 'e', 'p', 't'};
    writeBytes("log.csv", kept);
    writeBytes("saved.qcf", kept);
    int simulationsMade = 0;
    onSimulation = [&](sim::SimulatedDriver&) { ++simulationsMade; };
    const struct {
        Args args;
        std::string file;
    } cases[] = {
        {{"--simulate", "watch", "--count", "2", "--csv", path("log.csv")}, "log.csv"},
        {{"--simulate", "save", path("saved.qcf")}, "saved.qcf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Run refused = run(c.args);
        EXPECT_EQ(refused.status, kExitFile);
        EXPECT_EQ(refused.err,
                  "qe7204ctl: " + path(c.file) + ": the file exists; --force replaces it\n");
        EXPECT_EQ(readBytes(c.file), kept);
        EXPECT_EQ(simulationsMade, 0);

        Args forced = c.args;
        forced.insert(forced.begin() + 2, "--force");
        const Run replaced = run(forced);
        EXPECT_EQ(replaced.status, kExitSuccess) << replaced.err;
        EXPECT_NE(readBytes(c.file), kept);
        simulationsMade = 0;
    }
}

// A script may hand the log to another program through a FIFO that it opens later.
TEST_F(Commands, WatchWaitsForTheReaderOfAFifo) {
    ASSERT_EQ(::mkfifo(path("log.fifo").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // after the watch began
        std::ifstream in(path("log.fifo"), std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    });
    const Run watched = run({"--simulate", "watch", "--count", "2", "--csv", path("log.fifo")});
    // Had the watch given up at once, the reader would wait for a writer for ever.
    for (int tries = 0; watched.status != kExitSuccess && tries < 100; ++tries) {
        const int writer = ::open(path("log.fifo").c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            ::close(writer);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader.join();
    EXPECT_EQ(watched.status, kExitSuccess) << watched.err;
    EXPECT_TRUE(received.starts_with("# QE7204 readouts; chip address 0;")) << received;
    EXPECT_EQ(std::count(received.begin(), received.end(), '\n'), 4);
}

TEST_F(Commands, TraceTellsEveryFrameOnStandardError) {
    const Run traced = run({"--simulate", "--trace", "get", "Res"});
    ASSERT_EQ(traced.status, kExitSuccess);
    EXPECT_EQ(traced.out, "4096\n");
    for (const char* expected :
         {"open by serial \"QE000001\"", "-> 5A 03 FF  power on", "-> 58  scan bus",
          "<- 00 FF  chips 0, end", "-> 57 00  read all registers of chip 0"})
        EXPECT_NE(traced.err.find(expected), std::string::npos) << expected << "\n" << traced.err;
}

// QT_LOGGING_RULES="qe7204.frames=true" logs the lines --trace writes, without the word.
TEST_F(Commands, TheFramesCategoryLogsWhatTraceWrites) {
    const auto afterTheTime = [](std::string line) {
        line.erase(0, line.find_first_not_of(' '));
        return line.substr(line.find(' '));
    };
    const Run traced = run({"--simulate", "--trace", "get", "Res"});
    std::vector<std::string> expected;
    std::istringstream lines(traced.err);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("trace ")) expected.push_back(afterTheTime(line.substr(6)));
    ASSERT_FALSE(expected.empty());

    static std::vector<std::string> logged;
    logged.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("qe7204.frames.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& text) {
            if (std::string_view(context.category) == "qe7204.frames")
                logged.push_back(text.toStdString());
        });
    const Run quiet = run({"--simulate", "get", "Res"});
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QStringLiteral("qe7204.frames.debug=false"));

    EXPECT_EQ(quiet.status, kExitSuccess);
    EXPECT_EQ(quiet.err, "");
    std::vector<std::string> loggedTexts;
    for (const std::string& line : logged) loggedTexts.push_back(afterTheTime(line));
    EXPECT_EQ(loggedTexts, expected);
}

// An off-centre (20 counts) and tilted (AGC 8 rippling by 3) magnet at a steady half turn a
// second: the check reads at the poll's 50 ms pace and finds both.
TEST_F(Commands, MagnetCheckFindsTheMountingErrors) {
    const Args mounted{"--simulate", "--magnet-speed", "0.5", "--magnet-off-centre",
                       "20,30",      "--magnet-tilt",  "3"};
    Args asJson = mounted;
    asJson.insert(asJson.end(), {"magnet-check", "--json"});
    const Run checked = run(asJson);
    ASSERT_EQ(checked.status, kExitSuccess) << checked.err;
    EXPECT_EQ(checked.err, "") << "no progress with --json";
    const QJsonObject report = json(checked.out);
    EXPECT_EQ(report["turns"].toInt(), 2);
    EXPECT_NEAR(report["samples"].toInt(), 81, 1) << "2 turns at 0.5 turns/s, read every 50 ms";
    EXPECT_NEAR(report["error_first_harmonic_counts"].toDouble(), 20.0, 4.0);
    EXPECT_NEAR(report["error_first_harmonic_phase_deg"].toDouble(), 30.0, 10.0);
    EXPECT_LT(report["error_second_harmonic_counts"].toDouble(), 2.0);
    EXPECT_EQ(report["agc_min"].toInt(), 5);
    EXPECT_EQ(report["agc_max"].toInt(), 11);
    EXPECT_NEAR(report["agc_mean"].toDouble(), 8.0, 0.3);
    EXPECT_NEAR(report["agc_ripple"].toDouble(), 3.0, 0.5);
    EXPECT_EQ(report["status_counts"]["in_range"].toInt(), report["samples"].toInt());
    EXPECT_LT(report["speed_variation_percent"].toDouble(), 5.0);
    EXPECT_EQ(report["verdict"].toString(), "bad");

    Args asText = mounted;
    asText.insert(asText.end(), {"magnet-check", "--turns", "1"});
    const Run told = run(asText);
    ASSERT_EQ(told.status, kExitSuccess) << told.err;
    EXPECT_EQ(told.err,
              "turn the shaft through 1 turn\nturned 0.25 of 1 turn\n"
              "turned 0.50 of 1 turn\nturned 0.75 of 1 turn\nturned 1.00 of 1 turn\n");
    EXPECT_EQ(told.out.rfind("Verdict: bad\n", 0), 0u) << told.out;
    EXPECT_NE(told.out.find("AGC: min 5, max 11"), std::string::npos) << told.out;
}

// The same magnet read live and recorded by watch --csv: --from finds the same figures, and
// says which recording, chip and adapter they come from.
TEST_F(Commands, MagnetCheckFromARecordingMatchesTheLiveCheck) {
    const Args mounted{"--simulate", "--magnet-speed", "1", "--magnet-off-centre", "20,30"};
    Args live = mounted;
    live.insert(live.end(), {"magnet-check", "--json"});
    const Run checked = run(live);
    ASSERT_EQ(checked.status, kExitSuccess) << checked.err;
    Args watched = mounted;
    watched.insert(watched.end(), {"watch", "--count", "60", "--csv", path("turns.csv")});
    ASSERT_EQ(run(watched).status, kExitSuccess);
    const Run analysed = run({"magnet-check", "--json", "--from", path("turns.csv")});
    ASSERT_EQ(analysed.status, kExitSuccess) << analysed.err;

    const QJsonObject a = json(checked.out);
    const QJsonObject b = json(analysed.out);
    EXPECT_EQ(a["verdict"].toString(), "bad");
    EXPECT_NEAR(a["error_first_harmonic_counts"].toDouble(), 20.0, 2.0);
    for (const char* key :
         {"verdict", "samples", "error_first_harmonic_counts", "error_first_harmonic_phase_deg",
          "error_second_harmonic_counts", "error_percentile_counts", "noise_counts", "speed_rpm",
          "agc_mean", "chip_address", "adapter_serial", "tool_version"})
        EXPECT_EQ(a[key], b[key]) << key << "\n" << checked.out << analysed.out;
    EXPECT_EQ(b["recording"].toString().toStdString(), path("turns.csv"));
    EXPECT_TRUE(b["date"].toString().endsWith('Z'));

    const Run missing = run({"magnet-check", "--from", path("none.csv")});
    EXPECT_EQ(missing.status, kExitFile);
    EXPECT_EQ(missing.err, "qe7204ctl: " + path("none.csv") + ": no such file or directory\n");
    std::ofstream(path("other.csv")) << "a,b\n1,2\n";
    const Run other = run({"magnet-check", "--from", path("other.csv")});
    EXPECT_EQ(other.err,
              "qe7204ctl: " + path("other.csv") + ": this is no recording of QE7204 readouts\n");
}

TEST_F(Commands, MagnetCheckGivesUpAfterItsTimeOut) {
    const Run standing =
        run({"--simulate", "--magnet-speed", "0", "magnet-check", "--timeout", "3"});
    EXPECT_EQ(standing.status, kExitChip);
    EXPECT_EQ(standing.out, "");
    EXPECT_NE(standing.err.find("qe7204ctl: the shaft turned 0.00 of 2 turns in 3 s: turn it "
                                "further, or allow more time with --timeout\n"),
              std::string::npos)
        << standing.err;

    const struct {
        Args args;
        const char* error;
    } refused[] = {
        {{"--turns", "0"}, "--turns takes a whole number from 1 to 50, not '0'"},
        {{"--turns"}, "--turns takes a whole number from 1 to 50"},
        {{"--timeout", "-1"}, "--timeout takes seconds, more than 0 and up to 86400, not '-1'"},
        {{"--timeout", "soon"}, "--timeout takes seconds, more than 0 and up to 86400, not 'soon'"},
        {{"--slowly"}, "magnet-check does not take '--slowly'"},
    };
    for (const auto& c : refused) {
        Args args{"--simulate", "magnet-check"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Run r = run(args);
        EXPECT_EQ(r.status, kExitUsage) << c.error;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace qe::cli::test
