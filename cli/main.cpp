#include <atomic>
#include <csignal>
#include <iostream>
#include <memory>

#include "d2xx_driver.h"
#include "qe7204ctl.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void requestStop(int) {
    stopRequested = true;
}

std::unique_ptr<qe::FtdiDriver> realDriver(const std::string& name, std::string& error) {
    if (!name.empty() && name != "d2xx") {
        error = "unknown driver '" + name + "'; drivers: d2xx, sim";
        return nullptr;
    }
    return std::make_unique<qe::D2xxDriver>();
}

}  // namespace

int main(int argc, char* argv[]) {
    // Ctrl-C ends a watch at its next step, with everything read written out.
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);

    qe::SystemClock clock;
    qe::cli::Environment environment{clock,      std::cout, std::cerr, stopRequested,
                                     realDriver, false,     {}};
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = qe::cli::runQe7204ctl(args, environment);
    std::cout.flush();
    return status;
}
