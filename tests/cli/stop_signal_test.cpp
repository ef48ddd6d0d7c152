// One TERM ends qe7204ctl promptly wherever it waits: for the reader of a FIFO, on a full
// pipe, between readouts. A real program gets a real signal.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "cli_rig.h"
#include "exit_status.h"

namespace qe::cli::test {
namespace {

// The smallest pipe the system makes: a few dozen lines fill it.
constexpr int kSmallPipeBytes = 4096;
constexpr int kLongestLineBytes = 200;
// Generous bounds; the program meets them by far when it works.
constexpr auto kStartBound = 10s;
constexpr auto kEndBound = 10s;

// The bytes waiting in a pipe.
int pending(int readEnd) {
    int bytes = 0;
    return ::ioctl(readEnd, FIONREAD, &bytes) == 0 ? bytes : -1;
}

// True once the pipe is all but full and has stopped filling: its writer is blocked.
bool writerBlocked(int readEnd) {
    return within(kStartBound, [&] {
        const int before = pending(readEnd);
        std::this_thread::sleep_for(500ms);
        return before > kSmallPipeBytes - kLongestLineBytes && pending(readEnd) == before;
    });
}

class StopSignal : public CliRig {
protected:
    void SetUp() override {
        CliRig::SetUp();
        err = ::open(path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        out = ::open(path("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(err, 0);
        ASSERT_GE(out, 0);
    }
    void TearDown() override {
        for (int fd : {out, err, pipeRead, pipeWrite})
            if (fd >= 0) ::close(fd);
        CliRig::TearDown();
    }

    // A pipe of the smallest size that nobody reads from.
    void makeSmallPipe() {
        int ends[2];
        ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        pipeRead = ends[0];
        pipeWrite = ends[1];
        ASSERT_GE(::fcntl(pipeRead, F_SETPIPE_SZ, kSmallPipeBytes), 0);
        ASSERT_EQ(::fcntl(pipeRead, F_SETFL, O_NONBLOCK), 0);
    }
    // The FIFO's reader, which reads nothing until the test does.
    void makeFifoWithIdleReader(const std::string& fifo) {
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        pipeRead = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(pipeRead, 0);
        ASSERT_GE(::fcntl(pipeRead, F_SETPIPE_SZ, kSmallPipeBytes), 0);
    }
    std::string drainPipe() {
        std::string text;
        char buffer[8192];
        for (ssize_t n; (n = ::read(pipeRead, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }

    // Starts the program, waits until it can take a TERM and `ready` holds, sends one, and
    // gives its wait status once it ended.
    template <typename Ready>
    std::optional<int> terminatedWhen(const std::vector<std::string>& args, int stdoutFd,
                                      Ready ready) {
        Child child(args, stdoutFd, err);
        if (!child.started()) return std::nullopt;
        EXPECT_TRUE(within(kStartBound, [&] { return child.catchesTerm(); }));
        EXPECT_TRUE(ready());
        child.terminate();
        return child.ended(kEndBound);
    }

    int out = -1;
    int err = -1;
    int pipeRead = -1;
    int pipeWrite = -1;
};

TEST_F(StopSignal, EndsAWatchWaitingForTheReaderOfAFifo) {
    const std::string fifo = path("log.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const auto status = terminatedWhen({"--simulate", "watch", "--count", "3", "--csv", fifo}, out,
                                       [] { return true; });

    ASSERT_TRUE(status) << "still waiting after one TERM";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by the signal, not by itself";
    EXPECT_EQ(WEXITSTATUS(*status), kExitInterrupted);
    EXPECT_EQ(fileText(path("err")),
              "qe7204ctl: " + fifo + ": stopped while waiting for its reader\n");
}

TEST_F(StopSignal, EndsAWatchWhoseFifoReaderStoppedReading) {
    const std::string fifo = path("log.fifo");
    makeFifoWithIdleReader(fifo);

    const auto status =
        terminatedWhen({"--simulate", "watch", "--interval", "1", "--csv", fifo}, out, [&] {
            // The comment and the header go at once, the rows after a second:
            // many more than the pipe takes.
            const bool begun = within(kStartBound, [&] { return pending(pipeRead) > 0; });
            std::this_thread::sleep_for(1500ms);
            return begun;
        });

    ASSERT_TRUE(status) << "still waiting after one TERM";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), kExitInterrupted);
    EXPECT_EQ(fileText(path("err")),
              "qe7204ctl: " + fifo + ": stopped while waiting for its reader\n");
    EXPECT_TRUE(drainPipe().starts_with("# QE7204 readouts; chip address 0;"));
}

TEST_F(StopSignal, EndsAWatchBlockedOnAFullStandardOutput) {
    makeSmallPipe();

    const auto status = terminatedWhen({"--simulate", "watch", "--interval", "1"}, pipeWrite,
                                       [&] { return writerBlocked(pipeRead); });

    ASSERT_TRUE(status) << "still waiting after one TERM";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), kExitInterrupted);
    EXPECT_EQ(fileText(path("err")), "qe7204ctl: standard output cannot be written\n");
    const std::string lines = drainPipe();
    EXPECT_TRUE(lines.ends_with("\n")) << "only whole lines";
}

TEST_F(StopSignal, EndsAWatchBetweenReadoutsWithEveryRowWritten) {
    const std::string csv = path("log.csv");

    const auto status = terminatedWhen({"--simulate", "watch", "--csv", csv}, out, [&] {
        return within(kStartBound, [&] { return fileText(csv).starts_with("# QE7204"); });
    });

    ASSERT_TRUE(status) << "still waiting after one TERM";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), kExitSuccess) << fileText(path("err"));
    const std::string rows = fileText(csv);
    const auto lines = std::count(rows.begin(), rows.end(), '\n');
    EXPECT_TRUE(rows.ends_with("\n"));
    EXPECT_EQ(fileText(path("out")),
              std::to_string(lines - 2) + " readouts written to " + csv + "\n");
}

TEST_F(StopSignal, EndsAProgramLogAsAFailedUnitWithItsRecord) {
    const std::string csv = path("log.csv");
    const std::string record = path("unit.json");
    writeBytes("golden.qcf", std::vector<std::uint8_t>(16, 0));

    const auto status = terminatedWhen(
        {"--simulate", "program", "--log", "1000000", csv, "--record", record, path("golden.qcf")},
        out, [&] {
            return within(kStartBound, [&] {
                const std::string rows = fileText(csv);
                return std::count(rows.begin(), rows.end(), '\n') >= 4;
            });
        });

    ASSERT_TRUE(status) << "still running after one TERM";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), kExitInterrupted) << fileText(path("err"));
    const std::string rows = fileText(csv);
    const long written = std::count(rows.begin(), rows.end(), '\n') - 2;
    EXPECT_EQ(fileText(path("err")),
              "qe7204ctl: stopped after " + std::to_string(written) + " of 1000000 readouts\n");
    const QJsonObject unit =
        QJsonDocument::fromJson(QByteArray::fromStdString(fileText(record))).object();
    EXPECT_EQ(unit["result"].toString(), "fail");
    EXPECT_EQ(unit["failed_step"].toString(), "log");
    EXPECT_EQ(unit["exit_status"].toInt(), kExitInterrupted);
    EXPECT_EQ(unit["log"]["rows"].toInteger(), written);
    EXPECT_EQ(unit["log"]["asked"].toInteger(), 1000000);
}

}  // namespace
}  // namespace qe::cli::test
