// qe7204-pty-adapter: the simulated adapter served on a pseudo-terminal, behind a fake sysfs
// and /dev tree, so that `qe7204-tool --driver tty` (or qe7204ctl) runs over the kernel-serial
// backend without hardware. Prints the environment to start the tool with; runs until
// interrupted, or unplugs the adapter after --unplug-after seconds.
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "fake_tty_tree.h"
#include "pty_adapter.h"

namespace {

namespace fs = std::filesystem;

struct Arguments {
    fs::path root;
    int chips = 1;
    double revolutionsPerSecond = 0.1;
    int unplugAfterSeconds = 0;  // 0: stays plugged in
};

void usage() {
    std::cerr << "Usage: qe7204-pty-adapter [--root DIR] [--chips N] [--magnet-speed RPS]"
                 " [--unplug-after SECONDS]\n";
}

bool parse(int argc, char** argv, Arguments& arguments) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (option == "--root")
            arguments.root = value;
        else if (option == "--chips")
            arguments.chips = std::atoi(value);
        else if (option == "--magnet-speed")
            arguments.revolutionsPerSecond = std::atof(value);
        else if (option == "--unplug-after")
            arguments.unplugAfterSeconds = std::atoi(value);
        else
            return false;
    }
    if (arguments.root.empty())
        arguments.root = fs::temp_directory_path() / ("qe7204-pty-" + std::to_string(::getpid()));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (!parse(argc, argv, arguments)) {
        usage();
        return 2;
    }
    // Waited for below instead of ending the program, so the tree is always removed.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    qe::sim::PtyAdapter adapter({arguments.chips, arguments.revolutionsPerSecond});
    qe::sim::FakeTtyTree tree(arguments.root);
    tree.addPort({.name = "ttyUSB0", .terminal = adapter.terminalPath()});
    const qe::TtyRoots roots = tree.roots();
    std::cout << "Simulated adapter QE000001 on " << adapter.terminalPath() << " as ttyUSB0.\n"
              << "Start the tool with:\n"
              << "  QE7204_SYSFS_ROOT=" << roots.sysfs.string()
              << " QE7204_DEV_ROOT=" << roots.dev.string() << " qe7204-tool --driver tty\n"
              << std::flush;

    if (arguments.unplugAfterSeconds > 0) {
        const timespec wait{arguments.unplugAfterSeconds, 0};
        sigtimedwait(&stopSignals, nullptr, &wait);
    } else {
        int signal = 0;
        sigwait(&stopSignals, &signal);
    }
    adapter.unplug();
    std::cout << "Unplugged.\n";
    fs::remove_all(arguments.root);
    return 0;
}
