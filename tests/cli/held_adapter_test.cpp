// A unit being programmed holds its adapter from start to end: another program (a window
// started on the station, a second qe7204ctl) finds it taken. On the kernel-serial backend,
// with the simulated adapter behind a pseudo-terminal and qe7204ctl in a real process.
#include <fcntl.h>

#include <cstdlib>

#include "child_process.h"
#include "cli_rig.h"
#include "exit_status.h"
#include "fake_tty_tree.h"
#include "port_holder.h"
#include "port_in_use.h"
#include "pty_adapter.h"

namespace qe::cli::test {
namespace {

// Generous bounds; the program meets them by far when it works.
constexpr auto kStartBound = 20s;
constexpr auto kEndBound = 10s;

class HeldAdapter : public CliRig {
protected:
    void SetUp() override {
        CliRig::SetUp();
        tree.addPort({.name = portName, .terminal = adapter.terminalPath()});
        ::setenv("QE7204_SYSFS_ROOT", tree.roots().sysfs.c_str(), 1);
        ::setenv("QE7204_DEV_ROOT", tree.roots().dev.c_str(), 1);
        for (int* fd : {&out, &err}) {
            const std::string name = fd == &out ? "out" : "err";
            *fd = ::open(path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            ASSERT_GE(*fd, 0);
        }
    }
    void TearDown() override {
        ::unsetenv("QE7204_SYSFS_ROOT");
        ::unsetenv("QE7204_DEV_ROOT");
        for (int fd : {out, err})
            if (fd >= 0) ::close(fd);
        std::filesystem::remove_all(tree.root());  // named by the process: the next test's
        CliRig::TearDown();
    }

    // Another qe7204ctl, to its end; its standard output and error.
    std::pair<int, std::string> second(const std::vector<std::string>& args) {
        const std::string outPath = path("second.out");
        const int secondOut =
            ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        Child child(args, secondOut, secondOut);
        const auto status = child.ended(kEndBound);
        ::close(secondOut);
        return {status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1, fileText(outPath)};
    }

    // Qt Serial Port locks ports by name: each test process has a port of its own.
    const std::string portName = "ttyUSB" + std::to_string(::getpid());
    sim::PtyAdapter adapter;
    sim::FakeTtyTree tree{std::filesystem::temp_directory_path() /
                          ("qe7204-held-" + std::to_string(::getpid()))};
    int out = -1;
    int err = -1;
};

TEST_F(HeldAdapter, AUnitBeingProgrammedKeepsItsAdapter) {
    writeBytes("golden.qcf", std::vector<std::uint8_t>(16, 0));
    const std::string csv = path("log.csv");
    const std::filesystem::path node = tree.roots().dev / portName;
    ASSERT_FALSE(portHeldElsewhere(node));
    const std::pair<int, std::string> freeList = second({"--driver", "tty", "list"});
    EXPECT_EQ(freeList.second, "QE000001\tfree\ttty\tQE7204 interface\n");

    {
        Child unit({"--driver", "tty", "program", "--log", "1000000", csv, path("golden.qcf")}, out,
                   err);
        ASSERT_TRUE(unit.started());
        ASSERT_TRUE(within(kStartBound, [&] { return fileText(csv).starts_with("# QE7204"); }))
            << fileText(path("err"));

        // The window's driver would list it taken, and a second program cannot have it.
        EXPECT_TRUE(portHeldElsewhere(node));
        EXPECT_EQ(second({"--driver", "tty", "list"}).second,
                  "QE000001\topen\ttty\tQE7204 interface\n");
        const std::pair<int, std::string> show =
            second({"--driver", "tty", "--serial", "QE000001", "show"});
        EXPECT_EQ(show.first, kExitAdapter);
        EXPECT_EQ(show.second,
                  "qe7204ctl: the port of the adapter QE000001 is in use by another program\n");

        unit.terminate();
        const auto status = unit.ended(kEndBound);
        ASSERT_TRUE(status);
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == kExitInterrupted);
    }
    // Let go at the end.
    EXPECT_FALSE(portHeldElsewhere(node));
}

// A terminal program that simply has the port open: list says so, and the adapter is not
// taken from under it.
TEST_F(HeldAdapter, APortAnotherProgramHasOpenIsListedOpen) {
    {
        const qe::test::PortHolder other(tree.roots().dev / portName);
        ASSERT_TRUE(other.holds());
        EXPECT_EQ(second({"--driver", "tty", "list"}).second,
                  "QE000001\topen\ttty\tQE7204 interface\n");
        const std::pair<int, std::string> show =
            second({"--driver", "tty", "--serial", "QE000001", "show"});
        EXPECT_EQ(show.first, kExitAdapter);
        EXPECT_EQ(show.second,
                  "qe7204ctl: the port of the adapter QE000001 is in use by another program\n");
    }
    EXPECT_EQ(second({"--driver", "tty", "list"}).second,
              "QE000001\tfree\ttty\tQE7204 interface\n");
}

}  // namespace
}  // namespace qe::cli::test
