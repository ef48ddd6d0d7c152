#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "clock.h"
#include "qe7204ctl.h"
#include "scripted_driver.h"
#include "simulated_driver.h"

namespace qe::cli::test {

// Runs qe7204ctl in the test's process on a manual clock: --simulate gets an adapter that
// answers at once, and a real adapter is a driver that lists no device. Files go to a
// folder of the test's own.
class CliRig : public ::testing::Test {
protected:
    // Keeps what is written and tells each finished line.
    struct LineTap : std::streambuf {
        explicit LineTap(const std::function<void(const std::string&)>& onLine) : onLine(onLine) {}
        int_type overflow(int_type c) override {
            if (c == traits_type::eof()) return c;
            text += static_cast<char>(c);
            line += static_cast<char>(c);
            if (c == '\n') {
                if (onLine) onLine(line);
                line.clear();
            }
            return c;
        }
        const std::function<void(const std::string&)>& onLine;
        std::string text;
        std::string line;
    };

    struct Run {
        int status = -1;
        std::string out;
        std::string err;
    };

    ManualClock clock{1'000'000'000};
    std::atomic<bool> stop{false};
    std::filesystem::path folder;
    int realDriversMade = 0;
    std::function<void(sim::SimulatedDriver&)> onSimulation;
    // As if standard error or output were a terminal.
    bool errIsTerminal = false;
    bool outIsTerminal = false;

    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("qe7204ctl-" + std::string(test->test_suite_name()) + "-" + test->name() + "-" +
                  std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string path(const std::string& name) const { return (folder / name).string(); }

    // Called with each line the command prints on standard output, as it prints it.
    std::function<void(const std::string&)> onLine;

    Run run(const std::vector<std::string>& args) {
        LineTap tap(onLine);
        std::ostream out(&tap);
        std::ostringstream err;
        Environment environment{clock,
                                out,
                                err,
                                stop,
                                [this](DriverChoice) {
                                    ++realDriversMade;
                                    return std::make_unique<qe::test::ScriptedDriver>(clock);
                                },
                                true,
                                onSimulation};
        environment.errIsTerminal = errIsTerminal;
        environment.outIsTerminal = outIsTerminal;
        const int status = runQe7204ctl(args, environment);
        return {status, tap.text, err.str()};
    }

    // On the simulated bench kept in this test's state file, as a script would run it.
    Run bench(std::vector<std::string> args) {
        args.insert(args.begin(), {"--simulate", "--sim-state", path("bench.state")});
        return run(args);
    }

    void writeBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<std::uint8_t> readBytes(const std::string& name) {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

}  // namespace qe::cli::test
