#pragma once

#include <optional>
#include <string>

#include "chip_result.h"
#include "message_sink.h"

namespace qe::chip {

// Passes every box of the adapter link and the chip core on to the front end's sink, and
// keeps what the running operation showed, so that its result can tell why it failed
// without anybody reading the boxes back.
class OperationMessages final : public MessageSink {
public:
    explicit OperationMessages(MessageSink& boxes) : boxes_(boxes) {}

    void show(MessageKind kind, const std::string& text) override {
        lastText_ = text;
        boxes_.show(kind, text);
    }
    void driverCallFailed(const std::string& call, std::uint32_t status) override;

    // An operation starts: what came before is no reason for its failure.
    void begin() {
        lastText_.clear();
        driverFault_.reset();
    }
    // The result with the link's reason added: its last text where the result has none of
    // its own, and the driver call that failed.
    Result explain(Result result) const;

private:
    MessageSink& boxes_;
    std::string lastText_;
    std::optional<DriverFault> driverFault_;
};

}  // namespace qe::chip
