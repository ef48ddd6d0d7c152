#pragma once

#include <cstdint>
#include <memory>

namespace qe {

// What the D2XX library signals when received bytes become available (FT_SetEventNotification
// with FT_EVENT_RXCHAR). On Linux and macOS that is the library's EVENT_HANDLE: a condition
// variable, its mutex and an int, which the library's reader thread locks, signals and unlocks;
// on Windows an auto-reset event object. It must outlive its registration with the library.
class D2xxReceiveEvent {
public:
    D2xxReceiveEvent();
    ~D2xxReceiveEvent();
    D2xxReceiveEvent(const D2xxReceiveEvent&) = delete;
    D2xxReceiveEvent& operator=(const D2xxReceiveEvent&) = delete;

    // The parameter FT_SetEventNotification takes.
    void* notificationParameter();

    // Holds the event's lock for a look at the queue followed by waits: a signal the library
    // gives between the look and the wait is then not lost.
    class Lock {
    public:
        explicit Lock(D2xxReceiveEvent& event);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

        // Releases the lock until the library signals or about `ns` have passed; it may also
        // return early without a signal, so the caller looks at the queue again.
        void waitFor(std::int64_t ns);

    private:
        D2xxReceiveEvent& event_;
    };

private:
    struct Native;
    std::unique_ptr<Native> native_;
};

}  // namespace qe
