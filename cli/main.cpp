#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>
#include <memory>

#include <QCoreApplication>

#include "driver_choice.h"
#include "qe7204ctl.h"

namespace {

std::atomic<bool> stopRequested{false};

// The first Ctrl-C (or TERM) asks the command to end at its next step; a second one ends
// the program at once, whatever it is doing.
extern "C" void requestStop(int) {
    stopRequested = true;
}

// Not restarted: a write blocked on a full pipe returns (EINTR) to a loop that sees the
// request, instead of waiting for a reader that may never read.
void stopOnFirstSignal(int signal) {
    struct sigaction action {};
    action.sa_handler = requestStop;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char* argv[]) {
    // The kernel's serial driver is reached through Qt Serial Port, which needs the application.
    QCoreApplication application(argc, argv);
    // Ctrl-C ends a watch at its next step, with everything read written out.
    stopOnFirstSignal(SIGINT);
    stopOnFirstSignal(SIGTERM);

    qe::SystemClock clock;
    qe::cli::Environment environment{clock,
                                     std::cout,
                                     std::cerr,
                                     stopRequested,
                                     qe::makeRealDriver,
                                     qe::cli::instantSimulationAsked(),
                                     {}};
    environment.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    environment.outIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = qe::cli::runQe7204ctl(args, environment);
    std::cout.flush();
    return status;
}
