#pragma once

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
};

}  // namespace qe
