#pragma once

#include <QJsonObject>

#include <ostream>
#include <string>

namespace qe::cli {

// The version of the JSON documents qe7204ctl writes (docs/json.md); a reader checks it.
inline constexpr int kJsonFormat = 1;

// Where a command's results go: plain lines for people and grep, or with --json one JSON
// document per command (one compact object per line for a stream of readouts).
class Output {
public:
    Output(std::ostream& out, bool json) : out_(out), json_(json) {}

    bool json() const { return json_; }
    std::ostream& stream() { return out_; }

    void line(const std::string& text) { out_ << text << '\n'; }
    void document(const QJsonObject& object);
    void jsonLine(const QJsonObject& object);
    void flush() { out_.flush(); }

private:
    std::ostream& out_;
    bool json_;
};

QJsonValue jsonText(const std::string& text);

// The object with its "format" (kJsonFormat): every document and line qe7204ctl prints has one.
QJsonObject versioned(QJsonObject object);

}  // namespace qe::cli
