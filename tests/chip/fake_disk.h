#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "recording_output.h"

namespace qe::test {

// What a fake disk holds; it outlives the writer that owns the disk.
struct DiskState {
    std::string contents;
    int writes = 0;
    bool closed = false;
};

// A disk of `capacity` bytes: a write that does not fit puts in what fits and fails, as
// a full disk does.
class FakeDisk final : public RecordingOutput {
public:
    explicit FakeDisk(DiskState& state, std::size_t capacity = std::string::npos)
        : state_(state), capacity_(capacity) {}

    bool write(std::string_view bytes) override {
        ++state_.writes;
        const std::size_t room = capacity_ - std::min(capacity_, state_.contents.size());
        state_.contents.append(bytes.substr(0, room));
        return bytes.size() <= room;
    }
    bool truncate(std::uint64_t size) override {
        state_.contents.resize(static_cast<std::size_t>(size));
        return true;
    }
    bool close() override {
        state_.closed = true;
        return true;
    }
    std::string errorText() const override { return "No space left on device"; }

private:
    DiskState& state_;
    std::size_t capacity_;
};

}  // namespace qe::test
