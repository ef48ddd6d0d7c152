#pragma once

namespace qe::ui {

// Held by a handler for the whole of its exchanges with the chip. A message box among them
// runs the event loop, and with it the poll timer; a tick that comes then finds the guard
// held and leaves the adapter alone, so it cannot scan, move ChipAddress or refill the
// panel between the handler's exchanges. Guards nest: a handler may call another that
// holds one too.
class ChipExchangeGuard {
public:
    explicit ChipExchangeGuard(int& holders) : holders_(holders) { ++holders_; }
    ~ChipExchangeGuard() { --holders_; }

    ChipExchangeGuard(const ChipExchangeGuard&) = delete;
    ChipExchangeGuard& operator=(const ChipExchangeGuard&) = delete;

private:
    int& holders_;
};

}  // namespace qe::ui
