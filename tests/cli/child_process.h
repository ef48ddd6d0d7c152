#pragma once

// qe7204ctl as a real child process, for what only a real process shows: signals, a port
// held from another process.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace qe::cli::test {

using namespace std::chrono_literals;

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// qe7204ctl running as a child process with its standard output and error where asked.
class Child {
public:
    Child(const std::vector<std::string>& args, int out, int err) {
        std::vector<std::string> all{QE7204CTL};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }

    // Whether the program has its handler for TERM in place (it ignores nothing before).
    bool catchesTerm() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("SigCgt:"))
                return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
        return false;
    }

    void terminate() const { ::kill(pid_, SIGTERM); }

    // The wait status once it ended within `bound`, else nothing.
    std::optional<int> ended(std::chrono::milliseconds bound) {
        for (const auto until = std::chrono::steady_clock::now() + bound;
             std::chrono::steady_clock::now() < until;) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) return status_ = status;
            std::this_thread::sleep_for(5ms);
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Whether `condition` holds within `bound`, looked at every few milliseconds.
template <typename Condition>
bool within(std::chrono::milliseconds bound, Condition condition) {
    for (const auto until = std::chrono::steady_clock::now() + bound;
         std::chrono::steady_clock::now() < until;) {
        if (condition()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

}  // namespace qe::cli::test
