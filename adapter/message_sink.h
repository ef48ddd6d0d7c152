#pragma once

#include <cstdint>
#include <string>

namespace qe {

enum class MessageKind {
    Error,      // caption "Error", exclamation icon, OK
    Critical,   // caption "Error", error icon, OK: driver failures, bad adapter parameters
    Plain,      // application title as caption, OK
    Exception,  // application title as caption, error icon, OK: a failed file operation
};

// Where the tool's modal message boxes go. The window shows them; tests record them.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void show(MessageKind kind, const std::string& text) = 0;
    // Told just before the box of a failed driver call, with the call's name and its status,
    // for a caller that reports the failure its own way.
    virtual void driverCallFailed(const std::string& /*call*/, std::uint32_t /*status*/) {}
};

}  // namespace qe
