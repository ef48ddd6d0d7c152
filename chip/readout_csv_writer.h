#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "readout_sample.h"
#include "recording_output.h"

namespace qe::chip {

// What the comment line at the top of a recording names.
struct RecordingSource {
    int chipAddress = 0;
    std::string adapterSerial;
};

// "2026-12-10T14:56:09.123Z": UTC, milliseconds, always 24 characters.
std::string isoTimeText(WallTime time);
void appendIsoTime(std::string& out, WallTime time);

// Writes readouts as CSV, one row per readout: time stamp, seconds since the first row,
// every output field as a number, and the texts the main window shows for it. Rows are kept
// in memory and written at least once a second; when the output fails (a full disk) the
// writer cuts the output back to the last whole row, closes it and takes no more rows.
class ReadoutCsvWriter {
public:
    static constexpr std::int64_t kFlushIntervalNs = 1'000'000'000;

    explicit ReadoutCsvWriter(std::unique_ptr<RecordingOutput> output);
    ~ReadoutCsvWriter();

    ReadoutCsvWriter(const ReadoutCsvWriter&) = delete;
    ReadoutCsvWriter& operator=(const ReadoutCsvWriter&) = delete;

    // The comment line and the column names, written at once so that an output that cannot
    // take anything fails here. False when the writer has failed.
    bool start(const RecordingSource& source);
    // One row; written out with those before it once the oldest unwritten row is a second
    // old. False when the writer has failed (now or before).
    bool append(const ReadoutSample& sample);
    // Writes the rows kept when the oldest is a second old at `steadyNs`, for owners whose
    // readouts may pause.
    bool flushIfDue(std::int64_t steadyNs);
    // Writes what is kept and closes the output. False when something could not be written.
    bool finish();

    bool failed() const { return failed_; }
    // Why the output failed, e.g. "No space left on device".
    const std::string& error() const { return error_; }
    // Rows taken; after a failure, the rows the output holds.
    std::uint64_t rowCount() const { return rows_; }
    // From the first row's readout to the last one's.
    std::int64_t elapsedNs() const { return rows_ == 0 ? 0 : lastNs_ - firstNs_; }

private:
    bool flush();
    bool fail();
    void appendRow(const ReadoutSample& sample);

    std::unique_ptr<RecordingOutput> output_;
    std::string pending_;          // whole rows not yet written
    std::string scratch_;          // one text of the row being made
    std::uint64_t committed_ = 0;  // bytes the output holds, always whole lines
    std::int64_t oldestPendingNs_ = 0;
    std::int64_t firstNs_ = 0;
    std::int64_t lastNs_ = 0;
    std::uint64_t rows_ = 0;
    std::uint64_t pendingRows_ = 0;
    bool failed_ = false;
    bool finished_ = false;
    std::string error_;
};

}  // namespace qe::chip
