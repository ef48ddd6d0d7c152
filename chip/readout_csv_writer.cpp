#include "readout_csv_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <utility>

namespace qe::chip {

namespace {

constexpr std::size_t kBufferReserve = 64 * 1024;
constexpr double kNsPerSecond = 1e9;

constexpr std::string_view kColumns =
    "time,elapsed_s,RelPos,counts,degrees,AbsPos,MagnetStatus,Tacho,hz,rpm,AgcGain,agc_percent,"
    "RelPosAlarm,AbsPosAlarm,TachoAlarm,"
    "counts_text,degrees_text,counts_of_range_text,absolute_text,magnet_status_text,"
    "tacho_text,agc_text\n";

void appendNumber(std::string& out, long long value) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), result.ptr);
}

// The shortest text that reads back as the same double; never a locale's comma.
void appendNumber(std::string& out, double value) {
    std::array<char, 32> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), result.ptr);
}

// Quoted only when the text would otherwise split the row.
void appendText(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// A serial number comes from the device; nothing in it may end the comment line early.
std::string oneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

}  // namespace

void appendIsoTime(std::string& out, WallTime time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    std::array<char, 32> text{};
    const int length = std::snprintf(
        text.data(), text.size(), "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
        static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
        static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
        static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count()),
        static_cast<int>(clock.subseconds().count()));
    if (length > 0)
        out.append(text.data(), std::min(static_cast<std::size_t>(length), text.size() - 1));
}

std::string isoTimeText(WallTime time) {
    std::string text;
    appendIsoTime(text, time);
    return text;
}

ReadoutCsvWriter::ReadoutCsvWriter(std::unique_ptr<RecordingOutput> output)
    : output_(std::move(output)) {
    pending_.reserve(kBufferReserve);
}

ReadoutCsvWriter::~ReadoutCsvWriter() {
    finish();
}

bool ReadoutCsvWriter::start(const RecordingSource& source) {
    if (failed_ || finished_) return false;
    pending_ += "# QE7204 readouts; chip address ";
    appendNumber(pending_, static_cast<long long>(source.chipAddress));
    pending_ += "; adapter serial ";
    pending_ += oneLine(source.adapterSerial);
    pending_ += '\n';
    pending_ += kColumns;
    return flush();
}

bool ReadoutCsvWriter::append(const ReadoutSample& sample) {
    if (failed_ || finished_) return false;
    if (rows_ == 0) firstNs_ = sample.requestNs;
    if (pending_.empty()) oldestPendingNs_ = sample.requestNs;
    lastNs_ = sample.requestNs;
    appendRow(sample);
    ++rows_;
    ++pendingRows_;
    return flushIfDue(sample.requestNs);
}

bool ReadoutCsvWriter::flushIfDue(std::int64_t steadyNs) {
    if (failed_) return false;
    if (pending_.empty() || steadyNs - oldestPendingNs_ < kFlushIntervalNs) return true;
    return flush();
}

bool ReadoutCsvWriter::finish() {
    if (finished_) return !failed_;
    finished_ = true;
    if (failed_) return false;
    if (!flush()) return false;
    if (!output_->close()) return fail();
    return true;
}

bool ReadoutCsvWriter::flush() {
    if (pending_.empty()) return true;
    if (!output_->write(pending_)) return fail();
    committed_ += pending_.size();
    pending_.clear();
    pendingRows_ = 0;
    return true;
}

bool ReadoutCsvWriter::fail() {
    failed_ = true;
    finished_ = true;
    error_ = output_->errorText();
    pending_.clear();
    rows_ -= pendingRows_;
    pendingRows_ = 0;
    // Part of a row may have gone out before the failure; the file ends at the last whole one.
    output_->truncate(committed_);
    output_->close();
    return false;
}

void ReadoutCsvWriter::appendRow(const ReadoutSample& s) {
    // Rows go into buffers that keep their room, so that a capture of thousands of readouts
    // a second allocates nothing per row.
    const Readout& r = s.readout;
    std::string& out = pending_;
    appendIsoTime(out, s.wallTime);
    out += ',';
    // Microseconds: at a turn and a half a second a millisecond is six counts of position.
    appendFixed(out, static_cast<double>(s.requestNs - firstNs_) / kNsPerSecond, 6);
    const auto field = [&](Field f) {
        out += ',';
        appendNumber(out, static_cast<long long>(sampleField(s, f)));
    };
    const auto number = [&](auto value) {
        out += ',';
        appendNumber(out, value);
    };
    field(fields::RelPos);
    number(static_cast<long long>(r.counts));
    number(r.degrees);
    field(fields::AbsPos);
    field(fields::MagnetStatus);
    field(fields::Tacho);
    number(r.hertz);
    number(r.rpm);
    field(fields::AgcGain);
    number(r.agcPercent);
    field(fields::RelPosAlarm);
    field(fields::AbsPosAlarm);
    field(fields::TachoAlarm);
    const auto text = [&](std::string_view value) {
        out += ',';
        appendText(out, value);
    };
    // Each short enough to stay inside its std::string, the longer ones through scratch_.
    text(countsText(r));
    text(degreesText(r));
    text(countsOfRangeText(r, s.resolutionCounts));
    text(absoluteText(r));
    text(magnetStatusName(r.magnetStatus));
    scratch_.clear();
    appendTachoText(scratch_, r);
    text(scratch_);
    text(agcText(r));
    out += '\n';
}

}  // namespace qe::chip
