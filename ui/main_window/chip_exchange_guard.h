#pragma once

#include <functional>
#include <utility>

namespace qe::ui {

// Who may talk to the chip besides the poll cycle: the handlers between their exchanges, and
// a reader the adapter is lent to for a while (the Plot window's fast capture). The first
// handler to start takes the adapter back, so that its exchanges are the only ones on the
// line.
class ChipExchanges {
public:
    // True while the poll cycle must leave the adapter alone.
    bool busy() const { return holders_ > 0 || lentTo_ != nullptr; }
    // `takeBack` ends the reader's use of the adapter; it is called once at most.
    void lend(std::function<void()> takeBack) { lentTo_ = std::move(takeBack); }
    // The reader is done by itself.
    void returned() { lentTo_ = nullptr; }
    // A handler starts, or the window closes: the reader ends first.
    void takeBack() {
        if (auto reader = std::exchange(lentTo_, nullptr)) reader();
    }

private:
    friend class ChipExchangeGuard;
    int holders_ = 0;
    std::function<void()> lentTo_;
};

// Held by a handler for the whole of its exchanges with the chip. A message box among them
// runs the event loop, and with it the poll timer; a tick that comes then finds the guard
// held and leaves the adapter alone, so it cannot scan, move ChipAddress or refill the
// panel between the handler's exchanges. Guards nest: a handler may call another that
// holds one too.
class ChipExchangeGuard {
public:
    explicit ChipExchangeGuard(ChipExchanges& exchanges) : exchanges_(exchanges) {
        exchanges_.takeBack();
        ++exchanges_.holders_;
    }
    ~ChipExchangeGuard() { --exchanges_.holders_; }

    ChipExchangeGuard(const ChipExchangeGuard&) = delete;
    ChipExchangeGuard& operator=(const ChipExchangeGuard&) = delete;

private:
    ChipExchanges& exchanges_;
};

}  // namespace qe::ui
