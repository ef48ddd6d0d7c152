#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

namespace qe::sim {

// What happened on the simulated adapters, in order, with the clock time: the driver calls
// the tool made, the frames the firmware decoded, and the faults that were applied.
// Lets a test assert which exchanges happened in which order, and a control window show them.
class Transcript {
public:
    enum class Kind {
        Call,   // a driver call: "open", "latency 16", "purge rx", "read 8", "check", ...
        Frame,  // a frame the firmware decoded: "W 0 48 0x0205", "R 0 48", "scan", ...
        Note,   // bytes dropped, faults applied: "dropped 0x41", "reply lost", ...
    };

    struct Event {
        std::int64_t atNs = 0;
        std::string device;  // serial number of the adapter; empty for driver-wide calls
        Kind kind = Kind::Call;
        std::string text;
    };

    // The tool can run on the simulation for hours; only the newest events are kept.
    static constexpr std::size_t kDefaultLimit = 20000;

    void add(std::int64_t atNs, std::string device, Kind kind, std::string text);
    void clear() { events_.clear(); }
    void setLimit(std::size_t limit);

    const std::deque<Event>& events() const { return events_; }
    std::vector<std::string> texts() const;  // every event
    std::vector<std::string> texts(std::initializer_list<Kind> kinds) const;
    std::vector<std::string> frames() const { return texts({Kind::Frame}); }
    std::vector<std::string> calls() const { return texts({Kind::Call}); }

private:
    std::deque<Event> events_;
    std::size_t limit_ = kDefaultLimit;
};

}  // namespace qe::sim
