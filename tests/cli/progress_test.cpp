#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>

#include "child_process.h"
#include "cli_rig.h"
#include "exit_status.h"

namespace qe::cli::test {
namespace {

using Args = std::vector<std::string>;

// The progress line's bytes: rewritten from the line's start, the rest of the line erased.
std::string shown(const std::string& text) {
    return "\r" + text + "\033[K";
}
const std::string cleared = "\r\033[K";

class Progress : public CliRig {};

TEST_F(Progress, LongWorkShowsOneLineOnATerminal) {
    errIsTerminal = true;
    const Run r = run({"--simulate", "watch", "--count", "12", "--csv", path("log.csv")});
    ASSERT_EQ(r.status, kExitSuccess) << r.err;
    // A readout every 50 ms, the line at most every 250 ms.
    EXPECT_EQ(r.err, shown("watch: 1 of 12 readouts") + shown("watch: 6 of 12 readouts") +
                         shown("watch: 11 of 12 readouts") + cleared);
    EXPECT_EQ(r.out, "12 readouts written to " + path("log.csv") + "\n");
}

TEST_F(Progress, NothingExtraOffATerminalUnderJsonOrBetweenPrintedReadouts) {
    const struct {
        const char* why;
        bool errTerminal;
        bool outTerminal;
        Args args;
    } cases[] = {
        {"stderr is a pipe", false, false, {"watch", "--count", "12", "--csv", "log.csv"}},
        {"--json", true, false, {"--json", "watch", "--count", "12", "--csv", "log.csv"}},
        {"readouts on the terminal", true, true, {"watch", "--count", "12"}},
        {"CSV on the terminal", true, true, {"watch", "--count", "12", "--csv", "-"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        errIsTerminal = c.errTerminal;
        outIsTerminal = c.outTerminal;
        Args args{"--simulate"};
        for (const std::string& arg : c.args) args.push_back(arg == "log.csv" ? path(arg) : arg);
        std::filesystem::remove(path("log.csv"));
        const Run r = run(args);
        EXPECT_EQ(r.status, kExitSuccess) << r.err;
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(Progress, ProgramTellsItsStepsAndItsLog) {
    errIsTerminal = true;
    const Run good = bench({"save", path("golden.qcf")});
    ASSERT_EQ(good.status, kExitSuccess) << good.err;
    const Run r = bench({"program", "--log", "6", path("log.csv"), path("golden.qcf")});
    ASSERT_EQ(r.status, kExitSuccess) << r.err;
    std::string steps;
    for (const char* step : {"golden", "adapter", "chip", "load", "prog", "verify"})
        steps += shown(std::string("program: ") + step) + cleared;
    EXPECT_EQ(r.err, steps + shown("program: log") + shown("log: 6 of 6 readouts") + cleared)
        << r.err;
}

TEST_F(Progress, MagnetCheckTurnsOnOneLine) {
    errIsTerminal = true;
    const Run r = run({"--simulate", "--magnet-speed", "1", "magnet-check", "--turns", "1"});
    ASSERT_EQ(r.status, kExitSuccess) << r.err;
    EXPECT_TRUE(r.err.starts_with("turn the shaft through 1 turn\n" +
                                  shown("magnet-check: turned 0.00 of 1 turn")))
        << r.err;
    EXPECT_TRUE(r.err.ends_with(shown("magnet-check: turned 1.00 of 1 turn") + cleared)) << r.err;
    EXPECT_EQ(r.err.find("turned 0.25 of 1 turn\n"), std::string::npos) << r.err;
}

// The real program, its standard error a pseudo-terminal or a pipe.
class ProgressOfTheProgram : public CliRig {
protected:
    // What is left to read at `reader`.
    static std::string drain(int reader) {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }

    // Runs the program with stderr on `err` and gives its exit status.
    int runWithStderr(int err) {
        const int out = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        Child child({"--simulate", "watch", "--count", "8", "--csv", path("log.csv")}, out, err);
        ::close(out);
        const auto status = child.ended(std::chrono::seconds(60));
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }
};

TEST_F(ProgressOfTheProgram, ShowsItsProgressOnAPseudoTerminalOnly) {
    int terminal = -1;
    int far = -1;
    ASSERT_EQ(::openpty(&terminal, &far, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(runWithStderr(far), kExitSuccess);
    ASSERT_EQ(::fcntl(terminal, F_SETFL, O_NONBLOCK), 0);
    const std::string onTerminal = drain(terminal);
    ::close(far);
    ::close(terminal);
    EXPECT_TRUE(onTerminal.starts_with(shown("watch: 1 of 8 readouts"))) << onTerminal;
    EXPECT_TRUE(onTerminal.ends_with(cleared)) << onTerminal;
    EXPECT_EQ(onTerminal.find('\n'), std::string::npos) << onTerminal;

    std::filesystem::remove(path("log.csv"));
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    ASSERT_EQ(runWithStderr(ends[1]), kExitSuccess);
    ::close(ends[1]);
    EXPECT_EQ(drain(ends[0]), "");
    ::close(ends[0]);
}

}  // namespace
}  // namespace qe::cli::test
