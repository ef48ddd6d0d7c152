#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "recording_output.h"

namespace qe::cli {

// A recording written to a stream that cannot be cut back, such as standard output.
class StreamRecordingOutput final : public RecordingOutput {
public:
    explicit StreamRecordingOutput(std::ostream& stream) : stream_(stream) {}

    bool write(std::string_view bytes) override {
        stream_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        stream_.flush();
        return check();
    }
    bool truncate(std::uint64_t) override { return false; }
    bool close() override {
        stream_.flush();
        return check();
    }
    std::string errorText() const override { return error_; }

private:
    bool check() {
        if (stream_) return true;
        error_ = "the output cannot be written";
        return false;
    }

    std::ostream& stream_;
    std::string error_;
};

}  // namespace qe::cli
