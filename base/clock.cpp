#include "clock.h"

#include <chrono>
#include <thread>

namespace qe {

std::int64_t SystemClock::nowNs() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::sleepNs(std::int64_t ns) {
    if (ns > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
}

}  // namespace qe
