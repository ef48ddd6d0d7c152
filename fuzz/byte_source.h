#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qe::fuzz {

// The fuzzer's input taken a byte at a time; once it runs out, every byte is 0.
class ByteSource {
public:
    ByteSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t nextWord() {
        const std::uint16_t high = next();
        return static_cast<std::uint16_t>(high << 8 | next());
    }
    std::vector<std::uint8_t> take(std::size_t count) {
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < count && !empty()) bytes.push_back(next());
        return bytes;
    }
    std::vector<std::uint8_t> rest() { return take(size_ - at_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace qe::fuzz
