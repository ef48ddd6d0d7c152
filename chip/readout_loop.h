#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "readout_sample.h"
#include "readout_stream.h"

namespace qe::chip {

class CaptureSession;
class Chip;

// The window's poll period, and the pace of everything else that watches unless asked for
// another.
inline constexpr std::int64_t kReadoutIntervalNs = 50'000'000;
// A read without a reply is a gap; this many in a row end a paced reading.
inline constexpr int kMaxGapsInARow = 100;

// Where one paced reading stands between two readouts; each reader (a watch, a magnet check,
// a Python iterator) holds its own.
struct ReadoutPace {
    std::int64_t intervalNs = kReadoutIntervalNs;
    std::int64_t nextNs = 0;  // when the next read is due
    bool started = false;     // the first read is due at once
    int gapsInARow = 0;
    std::optional<long long> count;  // the readouts wanted; none: no end but a stop
    long long readouts = 0;
    long long gaps = 0;  // reads that got no reply
};

// Why a paced reading ended.
enum class ReadoutEnd {
    Counted,      // the pace's count of readouts have come
    Stopped,      // the reader's stop check said so (Ctrl-C, a deadline, enough readouts)
    AdapterLost,  // the adapter stopped answering
    ChipSilent,   // kMaxGapsInARow reads in a row got no reply
};

struct PacedReadout {
    std::optional<ReadoutSample> sample;  // unset: the reading has ended
    ReadoutEnd end = ReadoutEnd::Stopped;
};

// The one loop that reads the output registers for everything that watches. Each read is
// stamped with the time its request left for the chip, decoded with the chip's derived values
// and published to the stream: a readout, a gap, or the adapter lost. The window's poll tick
// drives it one step at a time; the command line and the Python module read at a pace.
class ReadoutLoop {
public:
    // True when the reader wants to stop; asked before each read and while waiting.
    using StopCheck = std::function<bool()>;

    explicit ReadoutLoop(Chip& chip) : chip_(chip) {}
    ReadoutLoop(const ReadoutLoop&) = delete;
    ReadoutLoop& operator=(const ReadoutLoop&) = delete;

    ReadoutStream& stream() { return stream_; }

    // One read now, published as a readout or a gap; the readout when the chip answered.
    std::optional<ReadoutSample> step();
    // The adapter stopped answering: every listener is told.
    void adapterLost() { stream_.publishAdapterLost(); }

    // The next readout at the pace: waits until it is due, reads, and reads again at the next
    // due time after a gap. Ends without a readout once the pace's count has come, when
    // `stop` says so, when the adapter is lost (published) or after kMaxGapsInARow gaps in
    // a row (the last one not published).
    PacedReadout next(ReadoutPace& pace, const StopCheck& stop);
    // Reads at the pace until the reading ends; the readouts go to the stream's listeners.
    ReadoutEnd run(ReadoutPace& pace, const StopCheck& stop);

    // The wall-clock time of a reading of the chip's clock that has passed (a request's).
    WallTime wallTimeOf(std::int64_t steadyNs) const;

private:
    friend class CaptureSession;

    // The read and its stamp, published by the caller; a capture asks for no more than
    // `stillWanted` (none: no limit).
    std::optional<ReadoutSample> read(std::optional<long long> stillWanted = std::nullopt);
    // A capture's read: the line kept full with requests, no more than are still wanted,
    // then the oldest one's reply.
    bool readCaptured(std::optional<long long> stillWanted);
    // Waits on the chip's clock until `deadlineNs`, looking at `stop` often enough for
    // Ctrl-C; false when stopped.
    bool waitUntil(std::int64_t deadlineNs, const StopCheck& stop);

    Chip& chip_;
    ReadoutStream stream_;
    // While a capture runs (see CaptureSession): the requests kept on the line; 0 otherwise.
    std::size_t captureInFlight_ = 0;
};

}  // namespace qe::chip
