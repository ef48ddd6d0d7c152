#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "readout_csv_writer.h"
#include "readout_sample.h"

namespace qe::chip {

// A recording in progress: every readout goes to the CSV writer until the owner stops it,
// the output fails (a full disk) or the adapter goes away. When it ends by itself it tells
// the owner why, once; the file then holds every row up to the last whole one.
class ReadoutRecording final : public ReadoutObserver {
public:
    using EndedBy = std::function<void(const std::string& message)>;

    ReadoutRecording(std::unique_ptr<ReadoutCsvWriter> writer, std::string path, EndedBy ended);

    void readoutArrived(const ReadoutSample& sample) override;
    void adapterLost() override;
    // For readouts that pause: keeps the file at most a second behind.
    void flushIfDue(std::int64_t steadyNs);
    // Ends the recording at the owner's wish. False, with the message told, when the last
    // rows could not be written.
    bool stop();

    bool active() const { return active_; }
    std::uint64_t rowCount() const { return writer_->rowCount(); }
    std::int64_t elapsedNs() const { return writer_->elapsedNs(); }
    const std::string& path() const { return path_; }

private:
    void end(const std::string& message);
    std::string writeFailure() const;

    std::unique_ptr<ReadoutCsvWriter> writer_;
    std::string path_;
    EndedBy ended_;
    bool active_ = true;
};

}  // namespace qe::chip
