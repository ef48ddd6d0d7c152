#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fake_tty_tree.h"
#include "pty_adapter.h"
#include "tty_driver.h"

namespace qe::test {

// The kernel-serial backend over a fake sysfs tree whose one port is a pseudo-terminal with
// the simulated adapter's firmware on its far side. Made while a test runs: the tree's folder
// is named after the test.
struct PtyBench {
    PtyBench() { tree.addPort({.name = portName, .terminal = adapter.terminalPath()}); }
    ~PtyBench() { std::filesystem::remove_all(tree.root()); }
    PtyBench(const PtyBench&) = delete;
    PtyBench& operator=(const PtyBench&) = delete;

    static std::filesystem::path uniqueRoot() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info->name();
        for (char& c : name)
            if (c == '/') c = '_';  // a parameterised test's name holds a '/'
        auto root = std::filesystem::path(::testing::TempDir()) /
                    ("tty_" + std::to_string(::getpid()) + "_" + name);
        std::filesystem::remove_all(root);
        return root;
    }

    // Each test process has its own port number: Qt Serial Port locks ports by name.
    const std::string portName = "ttyUSB" + std::to_string(::getpid());
    sim::PtyAdapter adapter;
    sim::FakeTtyTree tree{uniqueRoot()};
    std::vector<std::string> notices;
    TtyDriver driver{tree.roots(), [this](const std::string& text) { notices.push_back(text); }};
};

class TtyOverPty : public ::testing::Test, protected PtyBench {};

}  // namespace qe::test
