#pragma once

#include <string>
#include <vector>

#include "message_sink.h"

namespace qe::cli {

// The messages the chip core shows the window's user, kept for the command line: a
// failure's reason is the last of them; after a success they are printed as notes.
class RecordedMessages final : public MessageSink {
public:
    void show(MessageKind, const std::string& text) override { texts_.push_back(text); }

    const std::vector<std::string>& texts() const { return texts_; }
    std::string last() const { return texts_.empty() ? std::string() : texts_.back(); }
    void clear() { texts_.clear(); }

private:
    std::vector<std::string> texts_;
};

}  // namespace qe::cli
