#include "d2xx_receive_event.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <time.h>
#endif

namespace qe {

namespace {
constexpr std::int64_t kNsPerSecond = 1'000'000'000;
}  // namespace

#ifdef _WIN32

struct D2xxReceiveEvent::Native {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};

D2xxReceiveEvent::D2xxReceiveEvent() : native_(std::make_unique<Native>()) {}

D2xxReceiveEvent::~D2xxReceiveEvent() {
    if (native_->event) CloseHandle(native_->event);
}

void* D2xxReceiveEvent::notificationParameter() {
    return native_->event;
}

// An event stays set until a wait takes it, so there is nothing to hold between look and wait.
D2xxReceiveEvent::Lock::Lock(D2xxReceiveEvent& event) : event_(event) {}
D2xxReceiveEvent::Lock::~Lock() = default;

void D2xxReceiveEvent::Lock::waitFor(std::int64_t ns) {
    if (ns <= 0) return;
    // Whole milliseconds, rounded up: the wait must not end before the deadline it serves.
    const auto ms = static_cast<DWORD>((ns + 999'999) / 1'000'000);
    WaitForSingleObject(event_.native_->event, ms);
}

#else

// The library's EVENT_HANDLE, member for member.
struct D2xxReceiveEvent::Native {
    pthread_cond_t eCondVar;
    pthread_mutex_t eMutex;
    int iVar;
};

namespace {
// Timed waits count on a clock that no change of the system time moves, where there is a choice.
#ifdef __linux__
constexpr clockid_t kWaitClock = CLOCK_MONOTONIC;
#else
constexpr clockid_t kWaitClock = CLOCK_REALTIME;
#endif
}  // namespace

D2xxReceiveEvent::D2xxReceiveEvent() : native_(std::make_unique<Native>()) {
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
#ifdef __linux__
    pthread_condattr_setclock(&attributes, kWaitClock);
#endif
    pthread_cond_init(&native_->eCondVar, &attributes);
    pthread_condattr_destroy(&attributes);
    pthread_mutex_init(&native_->eMutex, nullptr);
}

D2xxReceiveEvent::~D2xxReceiveEvent() {
    pthread_cond_destroy(&native_->eCondVar);
    pthread_mutex_destroy(&native_->eMutex);
}

void* D2xxReceiveEvent::notificationParameter() {
    return native_.get();
}

D2xxReceiveEvent::Lock::Lock(D2xxReceiveEvent& event) : event_(event) {
    pthread_mutex_lock(&event_.native_->eMutex);
}

D2xxReceiveEvent::Lock::~Lock() {
    pthread_mutex_unlock(&event_.native_->eMutex);
}

void D2xxReceiveEvent::Lock::waitFor(std::int64_t ns) {
    if (ns <= 0) return;
    timespec until{};
    clock_gettime(kWaitClock, &until);
    const std::int64_t total = until.tv_nsec + ns % kNsPerSecond;
    until.tv_sec += static_cast<time_t>(ns / kNsPerSecond + total / kNsPerSecond);
    until.tv_nsec = static_cast<long>(total % kNsPerSecond);
    pthread_cond_timedwait(&event_.native_->eCondVar, &event_.native_->eMutex, &until);
}

#endif

}  // namespace qe
