#include "transcript.h"

#include <algorithm>

namespace qe::sim {

void Transcript::add(std::int64_t atNs, std::string device, Kind kind, std::string text) {
    events_.push_back(Event{atNs, std::move(device), kind, std::move(text)});
    while (events_.size() > limit_) events_.pop_front();
}

void Transcript::setLimit(std::size_t limit) {
    limit_ = std::max<std::size_t>(limit, 1);
    while (events_.size() > limit_) events_.pop_front();
}

std::vector<std::string> Transcript::texts() const {
    return texts({Kind::Call, Kind::Frame, Kind::Note});
}

std::vector<std::string> Transcript::texts(std::initializer_list<Kind> kinds) const {
    std::vector<std::string> result;
    for (const auto& event : events_)
        if (std::find(kinds.begin(), kinds.end(), event.kind) != kinds.end())
            result.push_back(event.text);
    return result;
}

}  // namespace qe::sim
