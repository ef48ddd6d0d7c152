#pragma once

#include <algorithm>
#include <vector>

#include "readout_sample.h"

namespace qe::chip {

// Hands every readout to the observers that asked for it. Adding and removing may happen
// from inside a call (a recording that ends itself); publishing never allocates.
class ReadoutStream {
public:
    void add(ReadoutObserver* observer) {
        if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
            observers_.push_back(observer);
    }
    void remove(ReadoutObserver* observer) {
        const auto it = std::find(observers_.begin(), observers_.end(), observer);
        if (it == observers_.end()) return;
        if (depth_ > 0)
            *it = nullptr;  // compacted once the running call is over
        else
            observers_.erase(it);
    }
    bool empty() const {
        return std::all_of(observers_.begin(), observers_.end(),
                           [](const ReadoutObserver* o) { return o == nullptr; });
    }

    void publish(const ReadoutSample& sample) {
        forEach([&](ReadoutObserver& o) { o.readoutArrived(sample); });
    }
    void publishFailure(std::int64_t requestNs) {
        forEach([&](ReadoutObserver& o) { o.readoutFailed(requestNs); });
    }
    void publishAdapterLost() {
        forEach([](ReadoutObserver& o) { o.adapterLost(); });
    }

private:
    template <typename Call>
    void forEach(Call call) {
        ++depth_;
        // By index: an observer added during the call is at the end and is called too.
        for (std::size_t i = 0; i < observers_.size(); ++i)
            if (observers_[i]) call(*observers_[i]);
        if (--depth_ == 0)
            observers_.erase(std::remove(observers_.begin(), observers_.end(), nullptr),
                             observers_.end());
    }

    std::vector<ReadoutObserver*> observers_;
    int depth_ = 0;
};

// An observer that listens for as long as this lives.
class ReadoutListening {
public:
    ReadoutListening(ReadoutStream& stream, ReadoutObserver& observer)
        : stream_(stream), observer_(observer) {
        stream_.add(&observer_);
    }
    ~ReadoutListening() { stream_.remove(&observer_); }
    ReadoutListening(const ReadoutListening&) = delete;
    ReadoutListening& operator=(const ReadoutListening&) = delete;

private:
    ReadoutStream& stream_;
    ReadoutObserver& observer_;
};

}  // namespace qe::chip
