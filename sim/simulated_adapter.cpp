#include "simulated_adapter.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <QString>

#include "log_categories.h"

namespace qe::sim {

namespace {
constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr std::uint8_t kLowestLatencyMs = 2;
constexpr std::uint32_t kLowestBaud = 300;
constexpr std::uint32_t kHighestBaud = 3'000'000;

std::string number(std::uint64_t value) {
    return std::to_string(value);
}
}  // namespace

SimulatedAdapter::SimulatedAdapter(Clock& clock, Transcript& transcript, std::string serialNumber,
                                   std::string description)
    : clock_(clock),
      transcript_(transcript),
      serial_(std::move(serialNumber)),
      description_(std::move(description)),
      magnet_(clock),
      bus_(magnet_),
      firmware_(bus_, transcript, serial_) {}

// --- faults ----------------------------------------------------------------------------------

void SimulatedAdapter::unplug() {
    if (!plugged_) return;
    plugged_ = false;
    firmware_.restart();  // the adapter is powered from USB
    changeRx([](ReceiveQueue& rx) { rx.clear(); });
    log(Transcript::Kind::Note, "unplugged");
}

void SimulatedAdapter::replug() {
    if (plugged_) return;
    plugged_ = true;
    handle_ = 0;
    resetLine();
    log(Transcript::Kind::Note, "replugged");
}

void SimulatedAdapter::loseNextReply() {
    next_.lose = true;
}

void SimulatedAdapter::delayNextReply(std::uint32_t ms) {
    next_.delayNs = ms * kNsPerMs;
}

void SimulatedAdapter::shortenNextReply(std::size_t bytesDropped) {
    next_.dropBytes = bytesDropped;
}

void SimulatedAdapter::delayRepliesTo(std::vector<std::uint8_t> framePrefix, std::uint32_t ms) {
    delayedReplies_.emplace_back(std::move(framePrefix), ms * kNsPerMs);
}

void SimulatedAdapter::setPace(Pace pace, std::uint32_t seed) {
    pace_ = pace;
    busLoad_.seed(seed);
}

void SimulatedAdapter::addSurplusBytes(std::size_t count, std::uint8_t value) {
    next_.surplusBytes = count;
    next_.surplusValue = value;
}

void SimulatedAdapter::failCall(const std::string& name, FtStatus status) {
    if (status == FT_OK)
        failingCalls_.erase(name);
    else
        failingCalls_[name] = status;
}

void SimulatedAdapter::clearFaults() {
    next_ = {};
    delayedReplies_.clear();
    writesBeforeUnplug_.reset();
    nextWriteLimit_.reset();
    everyWriteLimit_.reset();
    openFailure_ = FT_OK;
    failingCalls_.clear();
    firmware_.acceptAllWrites();
}

void SimulatedAdapter::setInstantReplies(bool instant) {
    instant_ = instant;
    firmware_.setEepromWriteNs(instant ? 0 : AdapterFirmware::kEepromWriteNs);
}

UsbTiming SimulatedAdapter::timing() const {
    if (instant_) return {};
    const unsigned bits =
        1u + wire_.wordLength + (wire_.parity ? 1u : 0u) + (wire_.stopBits == 2 ? 2u : 1u);
    return UsbTiming{static_cast<std::int64_t>(bits) * 1'000'000'000 / wire_.baud,
                     latencyMs_ * kNsPerMs, pace_ != Pace::WholeLatency};
}

// --- device side -----------------------------------------------------------------------------

FtStatus SimulatedAdapter::open(FtHandle newHandle) {
    FtStatus status = openFailure_;
    if (status == FT_OK && handle_ != 0) status = FT_DEVICE_NOT_OPENED;  // opened already
    if (status == FT_OK) {
        handle_ = newHandle;
        changeRx([](ReceiveQueue& rx) { rx.clear(); });
        latencyMs_ = kDefaultLatencyMs;
        timeouts_ = {};
    }
    logCall("open", status);
    return status;
}

FtStatus SimulatedAdapter::close(FtHandle handle) {
    if (auto status = admit(handle, "FT_Close", "close"); status != FT_OK) return status;
    handle_ = 0;
    changeRx([](ReceiveQueue& rx) { rx.clear(); });
    logCall("close", FT_OK);
    return FT_OK;
}

FtStatus SimulatedAdapter::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    const auto text = "latency " + number(milliseconds);
    if (auto status = admit(handle, "FT_SetLatencyTimer", text); status != FT_OK) return status;
    if (milliseconds < kLowestLatencyMs) {
        logCall(text, FT_INVALID_PARAMETER);
        return FT_INVALID_PARAMETER;
    }
    latencyMs_ = milliseconds;
    logCall(text, FT_OK);
    return FT_OK;
}

FtStatus SimulatedAdapter::setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) {
    const auto text = "bitmode " + number(mask) + " " + number(mode);
    if (auto status = admit(handle, "FT_SetBitMode", text); status != FT_OK) return status;
    logCall(text, FT_OK);
    return FT_OK;
}

FtStatus SimulatedAdapter::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                                  std::uint8_t stopBits, std::uint8_t parity) {
    const auto text = "data " + number(wordLength) + " " + number(stopBits) + " " + number(parity);
    if (auto status = admit(handle, "FT_SetDataCharacteristics", text); status != FT_OK)
        return status;
    const bool valid =
        (wordLength == 7 || wordLength == 8) && (stopBits == 0 || stopBits == 2) && parity <= 4;
    if (!valid) {
        logCall(text, FT_INVALID_PARAMETER);
        return FT_INVALID_PARAMETER;
    }
    wire_.wordLength = wordLength;
    wire_.stopBits = stopBits;
    wire_.parity = parity;
    logCall(text, FT_OK);
    return FT_OK;
}

FtStatus SimulatedAdapter::setBaudRate(FtHandle handle, std::uint32_t baud) {
    const auto text = "baud " + number(baud);
    if (auto status = admit(handle, "FT_SetBaudRate", text); status != FT_OK) return status;
    if (baud < kLowestBaud || baud > kHighestBaud) {
        logCall(text, FT_INVALID_BAUD_RATE);
        return FT_INVALID_BAUD_RATE;
    }
    wire_.baud = baud;
    logCall(text, FT_OK);
    return FT_OK;
}

FtStatus SimulatedAdapter::setTimeouts(FtHandle handle, std::uint32_t readMs,
                                       std::uint32_t writeMs) {
    const auto text = "timeouts " + number(readMs) + " " + number(writeMs);
    if (auto status = admit(handle, "FT_SetTimeouts", text); status != FT_OK) return status;
    timeouts_ = {readMs, writeMs};
    logCall(text, FT_OK);
    return FT_OK;
}

FtStatus SimulatedAdapter::write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                                 std::uint32_t& written) {
    written = 0;
    ++writes_;
    if (writesBeforeUnplug_ && (*writesBeforeUnplug_)-- == 0) {
        writesBeforeUnplug_.reset();
        unplug();
    }
    // A written frame shows in the transcript as the firmware decodes it, so only a failed
    // write is logged as a call.
    if (auto status = admit(handle, "FT_Write", "write " + number(count)); status != FT_OK)
        return status;
    const auto accepted = acceptedOf(count);
    if (accepted < count)
        log(Transcript::Kind::Note, "write cut to " + number(accepted) + " of " + number(count));
    const auto byteNs = timing().byteNs;
    auto t = std::max(clock_.nowNs(), txLineFreeNs_);
    std::uint32_t lost = 0;
    for (std::uint32_t i = 0; i < accepted; ++i) {
        t += byteNs;
        if (oneFrameAtATime_ && t < rxLineFreeNs_) {
            ++lost;
            continue;
        }
        if (auto reply = firmware_.receive(data[i], t)) deliver(std::move(*reply));
    }
    if (lost > 0) log(Transcript::Kind::Note, number(lost) + " bytes lost while answering");
    txLineFreeNs_ = t;
    written = accepted;
    // The driver gives up on the rest only when its write time-out has passed.
    if (accepted < count) clock_.sleepNs(timeouts_.writeMs * kNsPerMs);
    return FT_OK;
}

FtStatus SimulatedAdapter::read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                                std::uint32_t& bytesRead) {
    bytesRead = 0;
    const auto text = count == 0 ? std::string("check") : "read " + number(count);
    if (auto status = admit(handle, "FT_Read", text); status != FT_OK) return status;
    logCall(text, FT_OK);
    if (count == 0) return FT_OK;

    const auto now = clock_.nowNs();
    auto until = rx_.arrivalOf(count);
    if (timeouts_.readMs > 0) {
        const auto deadline = now + timeouts_.readMs * kNsPerMs;
        until = until ? std::min(*until, deadline) : deadline;
    } else if (!until) {
        until = rx_.arrivalOf(rx_.size());  // no time-out: nothing more than what is in flight
    }
    if (until && *until > now) clock_.sleepNs(*until - now);
    changeRx([&](ReceiveQueue& rx) { bytesRead = rx.take(data, count, clock_.nowNs()); });
    return FT_OK;
}

FtStatus SimulatedAdapter::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    // Looked at in a tight loop; not worth a transcript line.
    if (auto status = admit(handle, "FT_GetQueueStatus", "queue"); status != FT_OK) return status;
    rxBytes = rx_.arrivedBy(clock_.nowNs());
    return FT_OK;
}

FtStatus SimulatedAdapter::waitForReceived(FtHandle handle, std::uint32_t count,
                                           std::int64_t deadlineNs, std::uint32_t& rxBytes) {
    if (auto status = admit(handle, "FT_GetQueueStatus", "queue"); status != FT_OK) return status;
    std::unique_lock lock(rxMutex_);
    for (;;) {
        const std::int64_t now = clock_.nowNs();
        rxBytes = rx_.arrivedBy(now);
        if (rxBytes >= count || now >= deadlineNs) return FT_OK;
        std::int64_t wakeNs = deadlineNs;
        if (const auto arrival = rx_.arrivalOf(count)) wakeNs = std::min(wakeNs, *arrival);
        rxChanged_.wait_until(
            lock, std::chrono::steady_clock::now() + std::chrono::nanoseconds(wakeNs - now));
    }
}

FtStatus SimulatedAdapter::purge(FtHandle handle, std::uint32_t mask) {
    std::string text = "purge";
    if (mask & kPurgeRx) text += " rx";
    if (mask & kPurgeTx) text += " tx";
    if (auto status = admit(handle, "FT_Purge", text); status != FT_OK) return status;
    // Frames reach the firmware as they are written, so there is no transmit queue to empty.
    if (mask & kPurgeRx) changeRx([&](ReceiveQueue& rx) { rx.dropArrived(clock_.nowNs()); });
    logCall(text, FT_OK);
    return FT_OK;
}

// --- internals -------------------------------------------------------------------------------

FtStatus SimulatedAdapter::admit(FtHandle handle, const char* call, const std::string& text) {
    FtStatus status = FT_OK;
    if (!plugged_)
        status = FT_IO_ERROR;
    else if (handle == 0 || handle != handle_)
        status = FT_INVALID_HANDLE;
    else if (auto it = failingCalls_.find(call); it != failingCalls_.end())
        status = it->second;
    if (status != FT_OK) logCall(text, status);
    return status;
}

void SimulatedAdapter::deliver(AdapterFirmware::Reply reply) {
    const auto faults = std::exchange(next_, NextReplyFaults{});
    auto& bytes = reply.bytes;
    if (faults.lose) {
        log(Transcript::Kind::Note, "reply lost");
        return;
    }
    if (faults.dropBytes > 0) {
        bytes.resize(bytes.size() - std::min(faults.dropBytes, bytes.size()));
        log(Transcript::Kind::Note, "reply shortened by " + number(faults.dropBytes));
    }
    if (faults.surplusBytes > 0) {
        bytes.insert(bytes.end(), faults.surplusBytes, faults.surplusValue);
        log(Transcript::Kind::Note, "reply with " + number(faults.surplusBytes) + " surplus");
    }
    std::int64_t delayNs = faults.delayNs;
    for (const auto& [prefix, ns] : delayedReplies_)
        if (reply.frame.size() >= prefix.size() &&
            std::equal(prefix.begin(), prefix.end(), reply.frame.begin()))
            delayNs += ns;
    if (delayNs > 0)
        log(Transcript::Kind::Note, "reply delayed by " + number(delayNs / kNsPerMs) + " ms");
    delayNs += busLoadNs();

    const auto t = timing();
    // The serial line carries one reply after the other.
    const auto start = std::max(reply.readyNs + delayNs, rxLineFreeNs_);
    changeRx([&](ReceiveQueue& rx) { rx.schedule(bytes, start, t); });
    rxLineFreeNs_ = start + static_cast<std::int64_t>(bytes.size()) * t.byteNs;
}

std::int64_t SimulatedAdapter::busLoadNs() {
    if (pace_ != Pace::LoadedBus || instant_) return 0;
    // One reply in eight meets a busy bus or machine.
    if (std::uniform_int_distribution<int>(0, 7)(busLoad_) != 0) return 0;
    return std::uniform_int_distribution<std::int64_t>(10, 40)(busLoad_) * kNsPerMs;
}

template <typename Change>
void SimulatedAdapter::changeRx(Change change) {
    {
        const std::lock_guard lock(rxMutex_);
        change(rx_);
    }
    rxChanged_.notify_all();
}

void SimulatedAdapter::log(Transcript::Kind kind, std::string text) {
    // The notes are the faults as they strike (unplugged, a reply lost, a write cut, ...).
    if (kind == Transcript::Kind::Note)
        qCDebug(lcSim).noquote() << QString::fromStdString(serial_) << QString::fromStdString(text);
    transcript_.add(clock_.nowNs(), serial_, kind, std::move(text));
}

void SimulatedAdapter::logCall(const std::string& text, FtStatus status) {
    if (status == FT_OK) return log(Transcript::Kind::Call, text);
    const std::string failed = text + " failed " + number(status);
    qCDebug(lcSim).noquote() << QString::fromStdString(serial_) << QString::fromStdString(failed);
    log(Transcript::Kind::Call, failed);
}

std::uint32_t SimulatedAdapter::acceptedOf(std::uint32_t count) {
    auto accepted = count;
    if (everyWriteLimit_) accepted = std::min(accepted, *everyWriteLimit_);
    if (const auto once = std::exchange(nextWriteLimit_, std::nullopt))
        accepted = std::min(accepted, *once);
    return accepted;
}

void SimulatedAdapter::resetLine() {
    wire_ = {};
    latencyMs_ = kDefaultLatencyMs;
    timeouts_ = {};
    txLineFreeNs_ = 0;
    rxLineFreeNs_ = 0;
}

}  // namespace qe::sim
