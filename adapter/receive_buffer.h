#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace qe {

// Bytes received from a device and not yet read, oldest first: for drivers whose library only
// reads, so that "bytes waiting" can be answered.
class ReceiveBuffer {
public:
    void append(const std::uint8_t* bytes, std::size_t count) {
        bytes_.insert(bytes_.end(), bytes, bytes + count);
    }
    // Moves up to `count` of the oldest bytes out; returns how many.
    std::size_t take(std::uint8_t* out, std::size_t count) {
        const std::size_t taken = std::min(count, bytes_.size());
        std::copy_n(bytes_.begin(), taken, out);
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(taken));
        return taken;
    }
    std::size_t size() const { return bytes_.size(); }
    void clear() { bytes_.clear(); }

private:
    std::deque<std::uint8_t> bytes_;
};

}  // namespace qe
