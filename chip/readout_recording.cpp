#include "readout_recording.h"

#include <utility>

namespace qe::chip {

namespace {

std::string readoutsText(std::uint64_t rows) {
    return std::to_string(rows) + (rows == 1 ? " readout" : " readouts");
}

}  // namespace

ReadoutRecording::ReadoutRecording(std::unique_ptr<ReadoutCsvWriter> writer, std::string path,
                                   EndedBy ended)
    : writer_(std::move(writer)), path_(std::move(path)), ended_(std::move(ended)) {}

void ReadoutRecording::readoutArrived(const ReadoutSample& sample) {
    if (active_ && !writer_->append(sample)) end(writeFailure());
}

void ReadoutRecording::adapterLost() {
    if (!active_) return;
    if (!writer_->finish()) return end(writeFailure());
    end("The recording stopped: the adapter does not answer. " + path_ + " holds the " +
        readoutsText(rowCount()) + " recorded until then.");
}

void ReadoutRecording::flushIfDue(std::int64_t steadyNs) {
    if (active_ && !writer_->flushIfDue(steadyNs)) end(writeFailure());
}

bool ReadoutRecording::stop() {
    if (!active_) return !writer_->failed();
    if (writer_->finish()) {
        active_ = false;
        return true;
    }
    end(writeFailure());
    return false;
}

std::string ReadoutRecording::writeFailure() const {
    return "The recording stopped: " + path_ + " could not be written (" + writer_->error() +
           "). It holds the first " + readoutsText(rowCount()) + ".";
}

void ReadoutRecording::end(const std::string& message) {
    active_ = false;
    if (ended_) ended_(message);
}

}  // namespace qe::chip
