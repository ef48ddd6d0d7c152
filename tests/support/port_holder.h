#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

extern char** environ;

namespace qe::test {

// Another program that simply has a port open, with no lock and no exclusive open, as a
// terminal program may: `sleep` with the node as its standard input, until this ends.
class PortHolder {
public:
    explicit PortHolder(const std::filesystem::path& node) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, node.c_str(), O_RDWR | O_NOCTTY, 0);
        std::string program = "sleep";
        std::string seconds = "600";
        char* argv[] = {program.data(), seconds.data(), nullptr};
        // Returns once the child runs the program, the node opened.
        if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~PortHolder() { release(); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool holds() const { return pid_ > 0; }
    void release() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

}  // namespace qe::test
