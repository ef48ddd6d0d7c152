#pragma once

#include <string>
#include <utility>
#include <vector>

#include "message_sink.h"

namespace qe::test {

// Keeps every message box the code under test would have shown.
class RecordingSink final : public MessageSink {
public:
    void show(MessageKind kind, const std::string& text) override {
        shown.emplace_back(kind, text);
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> result;
        for (const auto& entry : shown) result.push_back(entry.second);
        return result;
    }
    void clear() { shown.clear(); }

    std::vector<std::pair<MessageKind, std::string>> shown;
};

}  // namespace qe::test
