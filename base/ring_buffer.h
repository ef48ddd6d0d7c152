#pragma once

#include <cstddef>
#include <vector>

namespace qe {

// The newest `capacity` values pushed, oldest first. Storage is taken once; a push never
// allocates, it overwrites the oldest value when full.
template <typename T>
class RingBuffer {
public:
    explicit RingBuffer(std::size_t capacity) : slots_(capacity == 0 ? 1 : capacity) {}

    void push(const T& value) {
        slots_[(first_ + size_) % slots_.size()] = value;
        if (size_ < slots_.size())
            ++size_;
        else
            first_ = (first_ + 1) % slots_.size();
    }

    void clear() {
        first_ = 0;
        size_ = 0;
    }

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return slots_.size(); }
    bool empty() const { return size_ == 0; }

    // 0 is the oldest value kept, size() - 1 the newest.
    const T& operator[](std::size_t index) const {
        return slots_[(first_ + index) % slots_.size()];
    }
    const T& newest() const { return (*this)[size_ - 1]; }

    // The first index whose value is not before `key` by `before(value, key)`; the values must
    // be in the order `before` sorts them, e.g. by time. size() when there is none.
    template <typename Key, typename Before>
    std::size_t lowerBound(const Key& key, Before before) const {
        std::size_t low = 0;
        std::size_t high = size_;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (before((*this)[middle], key))
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    }

private:
    std::vector<T> slots_;
    std::size_t first_ = 0;
    std::size_t size_ = 0;
};

}  // namespace qe
