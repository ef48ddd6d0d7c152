#include <algorithm>
#include <cassert>
#include <initializer_list>
#include <utility>

#include "adapter_commands.h"
#include "adapter_link.h"

namespace qe {

namespace {

constexpr std::uint32_t kEepromWriteMs = 20;

constexpr std::uint32_t kRegisterWordBytes = 2;
constexpr std::uint32_t kOutputsReplyBytes = kRegisterWordBytes * kOutputWordCount;

constexpr std::uint32_t kWriteAckLimitMs = 2000;
constexpr std::uint32_t kRegisterReadLimitMs = 2000;
constexpr std::uint32_t kReadAllLimitMs = 4000;
constexpr std::uint32_t kOutputsLimitMs = 20;
constexpr std::uint32_t kAdapterReplyLimitMs = 20;
constexpr std::uint32_t kScanLimitMs = 1000;

constexpr std::int64_t kNsPerMs = 1'000'000;

// The tick count of a clock reading, truncated to 32 bits like Clock::tickCount().
std::uint32_t tickAt(std::int64_t ns) {
    return static_cast<std::uint32_t>(ns / kNsPerMs);
}

// The first instant at which the tick count has moved more than limitMs past the tick of
// startNs: a wait with that limit ends there.
std::int64_t limitPassesAt(std::int64_t startNs, std::uint32_t limitMs) {
    return (startNs / kNsPerMs + limitMs + 1) * kNsPerMs;
}

std::uint16_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t index) {
    return static_cast<std::uint16_t>(bytes[2 * index] << 8 | bytes[2 * index + 1]);
}

// An output registers' reply into the image's output words.
void storeOutputWords(RegisterImage& image, const std::vector<std::uint8_t>& reply) {
    for (std::size_t i = 0; i < kOutputWordCount; ++i)
        image[kFirstOutputWord + i] = wordAt(reply, i);
}

}  // namespace

// --- Transport -----------------------------------------------------------------------------

void AdapterLink::PutTxByte(std::uint8_t byte) {
    // SendFrame leaves nothing behind, so every frame starts at the front of the buffer.
    assert(TxCount < TxBuffer.size());
    TxBuffer[TxCount++] = byte;
}

void AdapterLink::SendFrame(std::uint32_t length) {
    std::uint32_t written = 0;
    const FtStatus status = driver_.write(AdapterHandle, TxBuffer.data(), length, written);
    TxCount -= std::min(written, length);
    // Bytes the driver did not take would otherwise ride along with the next frame; the
    // operation then fails by its reply check.
    if (status != FT_OK || TxCount != 0) PurgeTx();
}

AdapterLink::Reply AdapterLink::ReadReply(std::uint32_t count) {
    count = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(RxBuffer.size()));
    std::uint32_t bytesRead = 0;
    const FtStatus status = driver_.read(AdapterHandle, RxBuffer.data(), count, bytesRead);
    ReportDriverError(messages_, "FT_Read", status);
    if (status != FT_OK) health_.readFailed();
    return {std::min(bytesRead, count), status != FT_OK};
}

FtStatus AdapterLink::QueryRxQueue() {
    if (AdapterHandle == 0) return FT_INVALID_HANDLE;
    std::uint32_t waiting = 0;
    const FtStatus status = driver_.getQueueStatus(AdapterHandle, waiting);
    if (status == FT_OK)
        RxQueueBytes = waiting;
    else
        health_.readFailed();
    return status;
}

void AdapterLink::PurgeRx() {
    driver_.purge(AdapterHandle, kPurgeRx);
}

void AdapterLink::PurgeTx() {
    driver_.purge(AdapterHandle, kPurgeTx);
    TxCount = 0;
}

bool AdapterLink::cleanLine(bool chipCommand) {
    counting_ = !chipCommand || scannedSinceConnect_;
    timeoutCounted_ = false;
    if (stragglers_) {
        const Stragglers owed = *stragglers_;
        stragglers_.reset();
        // The rest of an earlier reply may still be on its way: wait until it has come, or
        // until it can no longer come, so that it is purged here and not read as the answer
        // to the frame about to go out.
        std::uint32_t waiting = 0;
        if (owed.bytes > 0 && driver_.waitForReceived(AdapterHandle, owed.bytes, owed.clearAtNs,
                                                      clock_, waiting) != FT_OK) {
            health_.readFailed();
            return false;
        }
        if (QueryRxQueue() != FT_OK) return false;
        if (owed.countedAsTimeout && owed.bytes != kUnknownStragglers && RxQueueBytes >= owed.bytes)
            health_.timedOutReplyCame(clock_.nowNs() - owed.frameNs);
    } else if (QueryRxQueue() != FT_OK) {
        return false;
    }
    // A late reply to an earlier command would otherwise be read as the answer to this one.
    if (RxQueueBytes != 0) PurgeRx();
    return true;
}

void AdapterLink::expectStragglers(std::uint32_t bytes, std::int64_t frameNs) {
    stragglers_ =
        Stragglers{bytes, frameNs, clock_.nowNs() + std::int64_t{kStragglerWindowMs} * kNsPerMs,
                   timeoutCounted_};
}

void AdapterLink::sendCommand(std::initializer_list<std::uint8_t> frame) {
    for (std::uint8_t byte : frame) PutTxByte(byte);
    SendFrame(TxCount);
}

AdapterLink::Wait AdapterLink::awaitReply(std::uint32_t expected, std::uint32_t designedMs,
                                          std::int64_t startNs) {
    const std::uint32_t limit = limitMs(designedMs);
    const std::int64_t deadlineNs = limitPassesAt(startNs, limit);
    Wait wait;
    for (;;) {
        std::uint32_t waiting = 0;
        if (driver_.waitForReceived(AdapterHandle, expected, deadlineNs, clock_, waiting) !=
            FT_OK) {
            health_.readFailed();
            wait.queueFailed = true;
            return wait;
        }
        RxQueueBytes = waiting;
        // Unsigned 32-bit difference: the tick count may wrap during the wait.
        const std::int64_t nowNs = clock_.nowNs();
        wait.elapsedMs = static_cast<std::uint32_t>(nowNs / kNsPerMs) - tickAt(startNs);
        if (RxQueueBytes >= expected) {
            // A reply first seen past its limit came all the same: late, not lost.
            wait.inTime = wait.elapsedMs <= limit;
            if (!counting_) return wait;
            if (wait.elapsedMs <= designedMs)
                health_.replied(nowNs - startNs);
            else
                health_.cameLate(nowNs - startNs);
            return wait;
        }
        if (wait.elapsedMs > limit) {
            if (counting_) {
                health_.timedOut();
                timeoutCounted_ = true;
            }
            return wait;
        }
    }
}

// --- Adapter commands ----------------------------------------------------------------------

bool AdapterLink::WriteRegister(std::uint8_t chipAddress, std::uint8_t reg, std::uint16_t value) {
    return writeRegisterReply(chipAddress, reg, value) == WriteReply::Acknowledged;
}

WriteReply AdapterLink::writeRegisterReply(std::uint8_t chipAddress, std::uint8_t reg,
                                           std::uint16_t value) {
    if (AdapterHandle == 0 || !cleanLine(true)) return WriteReply::Missing;
    sendCommand({kCmdRegister, busByte(chipAddress, false), reg,
                 static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF)});
    const std::int64_t start = clock_.nowNs();
    if (reg < kEepromWordCount) clock_.sleepMs(kEepromWriteMs);
    if (awaitReply(1, kWriteAckLimitMs, start).queueFailed) {
        expectStragglers(1, start);
        return WriteReply::Missing;
    }
    const std::uint32_t waiting = RxQueueBytes;
    if (ReadReply(waiting).count == 1)
        return RxBuffer[0] != 0 ? WriteReply::Acknowledged : WriteReply::Refused;
    PurgeRx();
    PurgeTx();
    expectStragglers(owedAfter(1, waiting), start);
    return WriteReply::Missing;
}

RegisterRead AdapterLink::ReadRegister(std::uint8_t chipAddress, std::uint8_t reg) {
    if (AdapterHandle == 0 || !cleanLine(true)) return {};
    sendCommand({kCmdRegister, busByte(chipAddress, true), reg});
    const std::int64_t start = clock_.nowNs();
    if (awaitReply(kRegisterWordBytes, kRegisterReadLimitMs, start).queueFailed) {
        expectStragglers(kRegisterWordBytes, start);
        return {};
    }
    // Only what has arrived is read: a driver read of more may never return when no read
    // time-out could be set on the adapter.
    const std::uint32_t waiting = RxQueueBytes;
    const std::uint32_t got = ReadReply(std::min(waiting, kRegisterWordBytes)).count;
    if (got != kRegisterWordBytes || waiting != kRegisterWordBytes) {
        // A short reply is not this register's value, and with surplus bytes nobody can tell
        // which two are; nothing of it may be taken as the answer to the next command either.
        PurgeRx();
        expectStragglers(owedAfter(kRegisterWordBytes, waiting), start);
        return {};
    }
    const std::uint16_t word = wordAt(RxBuffer, 0);
    if (reg < image_.size()) image_[reg] = word;  // the image has no room for others
    return {word, true};
}

bool AdapterLink::ReadAllRegisters(std::uint8_t chipAddress) {
    if (AdapterHandle == 0 || !cleanLine(true)) return false;
    constexpr std::uint32_t replyBytes = kRegisterWordBytes * kRegisterCount;
    sendCommand({kCmdReadAll, busByte(chipAddress, false)});
    const std::int64_t start = clock_.nowNs();
    const Wait wait = awaitReply(replyBytes, kReadAllLimitMs, start);
    if (wait.queueFailed) {
        expectStragglers(replyBytes, start);
        return false;
    }
    const std::uint32_t waiting = RxQueueBytes;
    const std::uint32_t got = ReadReply(waiting).count;
    if (got != replyBytes) PurgeRx();
    // A late or short reply leaves the image as it was.
    if (got < replyBytes || !wait.inTime) {
        expectStragglers(owedAfter(replyBytes, waiting), start);
        return false;
    }
    for (std::size_t i = 0; i < kRegisterCount; ++i) image_[i] = wordAt(RxBuffer, i);
    return true;
}

bool AdapterLink::ReadOutputRegisters(std::uint8_t chipAddress) {
    outputsRequestedNs_ = clock_.nowNs();
    if (AdapterHandle == 0 || !cleanLine(true)) return false;
    sendCommand({kCmdReadOutputs, busByte(chipAddress, false)});
    const std::int64_t start = clock_.nowNs();
    outputsRequestedNs_ = start;
    if (awaitReply(kOutputsReplyBytes, kOutputsLimitMs, start).queueFailed) {
        expectStragglers(kOutputsReplyBytes, start);
        return false;
    }
    const std::uint32_t waiting = RxQueueBytes;
    if (waiting != kOutputsReplyBytes) {
        PurgeRx();
        PurgeTx();
        expectStragglers(owedAfter(kOutputsReplyBytes, waiting), start);
        return false;
    }
    if (ReadReply(kOutputsReplyBytes).count != kOutputsReplyBytes) {
        PurgeRx();
        return false;
    }
    storeOutputWords(image_, RxBuffer);
    return true;
}

// --- Capture: output requests in flight --------------------------------------------------

namespace {
constexpr std::int64_t kOutputsRequestBytes = 2;

// How long a frame of `bytes` takes on the serial line: a start bit, the data bits, parity
// and stop bits a byte. Nothing known when no speed is set.
std::int64_t wireNs(const LineSettings& line, std::int64_t bytes) {
    if (line.baudRate == 0) return 0;
    const std::int64_t bits =
        1 + line.wordLength + (line.parity != 0 ? 1 : 0) + (line.stopBits == 2 ? 2 : 1);
    return bytes * bits * 1'000'000'000 / line.baudRate;
}
}  // namespace

FtStatus AdapterLink::setLatencyTimer(std::uint8_t ms) {
    if (AdapterHandle == 0) return FT_INVALID_HANDLE;
    // Marked before the call: a refusal may still have left the adapter changed.
    latencyChangedOn_ = AdapterHandle;
    return driver_.setLatencyTimer(AdapterHandle, ms);
}

FtStatus AdapterLink::restoreLatencyTimer() {
    const FtHandle changed = std::exchange(latencyChangedOn_, 0);
    if (changed == 0 || changed != AdapterHandle) return FT_OK;
    return driver_.setLatencyTimer(AdapterHandle, kLatencyTimerMs);
}

bool AdapterLink::sendOutputsRequest(std::uint8_t chipAddress) {
    if (AdapterHandle == 0 || inFlight_.count == kMaxFramesInFlight) return false;
    if (inFlight_.count == 0 && !cleanLine(true)) return false;
    sendCommand({kCmdReadOutputs, busByte(chipAddress, false)});
    // Frames handed over together leave one after the other: the chip samples each when it
    // has come off the line, so each is stamped when the line was free for it.
    std::int64_t stampNs = clock_.nowNs();
    if (inFlight_.count > 0) {
        const std::size_t last = (inFlight_.first + inFlight_.count - 1) % kMaxFramesInFlight;
        stampNs = std::max(stampNs,
                           inFlight_.stampNs[last] + wireNs(lineSettings_, kOutputsRequestBytes));
    }
    inFlight_.stampNs[(inFlight_.first + inFlight_.count) % kMaxFramesInFlight] = stampNs;
    ++inFlight_.count;
    return true;
}

bool AdapterLink::takeOutputsReply() {
    if (inFlight_.count == 0) return false;
    const std::int64_t start = inFlight_.stampNs[inFlight_.first];
    outputsRequestedNs_ = start;
    const Wait wait = awaitReply(kOutputsReplyBytes, kOutputsLimitMs, start);
    if (wait.queueFailed || RxQueueBytes < kOutputsReplyBytes ||
        ReadReply(kOutputsReplyBytes).count != kOutputsReplyBytes) {
        abandonOutputsInFlight();
        return false;
    }
    inFlight_.first = (inFlight_.first + 1) % kMaxFramesInFlight;
    --inFlight_.count;
    storeOutputWords(image_, RxBuffer);
    return true;
}

void AdapterLink::abandonOutputsInFlight() {
    if (inFlight_.count == 0) return;
    const std::size_t last = (inFlight_.first + inFlight_.count - 1) % kMaxFramesInFlight;
    // Bytes already waiting count towards what is owed; the next frame purges them all.
    expectStragglers(static_cast<std::uint32_t>(inFlight_.count) * kOutputsReplyBytes,
                     inFlight_.stampNs[last]);
    inFlight_ = {};
}

bool AdapterLink::probeOutputsInFlight(std::uint8_t chipAddress, std::size_t frames) {
    abandonOutputsInFlight();
    if (frames == 0 || frames > kMaxFramesInFlight) return false;
    for (std::size_t i = 0; i < frames; ++i)
        if (!sendOutputsRequest(chipAddress)) {
            abandonOutputsInFlight();
            return false;
        }
    const auto expected = static_cast<std::uint32_t>(frames) * kOutputsReplyBytes;
    const std::int64_t start = inFlight_.stampNs[inFlight_.first];
    const Wait wait = awaitReply(expected, kOutputsLimitMs, start);
    // Whole and in order: exactly the replies asked for, each as long as one reply. A frame
    // the firmware dropped leaves the stream short; one it garbled makes it long.
    const bool whole = !wait.queueFailed && wait.inTime && RxQueueBytes == expected &&
                       ReadReply(expected).count == expected;
    if (whole) {
        inFlight_ = {};
        return true;
    }
    abandonOutputsInFlight();
    return false;
}

AdapterLink::ScanReply AdapterLink::takeScannedAddresses(std::uint32_t count) {
    // The line was clean before the scan, so every address is a chip's, in whatever order the
    // adapter lists them. The adapter sends nothing after its end marker: a byte there is no
    // address of this scan.
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t byte = RxBuffer[i];
        if (byte >= kScanEndMarker)
            return i + 1 == count ? ScanReply::Complete : ScanReply::Malformed;
        ChipAddressList.push_back(byte);
    }
    return ScanReply::Incomplete;
}

bool AdapterLink::ScanBus() {
    ChipAddressList.clear();
    if (AdapterHandle == 0 || !cleanLine(false)) return false;
    scannedSinceConnect_ = true;
    sendCommand({kCmdScanBus});
    const std::int64_t startNs = clock_.nowNs();
    const std::uint32_t limit = limitMs(kScanLimitMs);
    // The list has no length of its own: until its end marker, more may come.
    const auto giveUp = [&] {
        expectStragglers(kUnknownStragglers, startNs);
        return false;
    };
    for (;;) {
        if (QueryRxQueue() != FT_OK) return giveUp();
        const Reply reply = ReadReply(RxQueueBytes);
        if (reply.count != RxQueueBytes) PurgeRx();
        // A failing read would fail on every later look too, each with its own error box.
        if (reply.failed) return giveUp();
        // Only the bytes this read delivered; anything further in the buffer is old.
        const ScanReply scanned = takeScannedAddresses(reply.count);
        if (scanned == ScanReply::Malformed) {
            PurgeRx();
            return giveUp();
        }
        if (scanned == ScanReply::Complete) {
            health_.replied(clock_.nowNs() - startNs);
            return !ChipAddressList.empty();
        }
        if (clock_.tickCount() - tickAt(startNs) > limit) {
            health_.timedOut();
            timeoutCounted_ = true;
            return giveUp();
        }
        // Everything waiting was read: the next look is worth making once more has come.
        std::uint32_t waiting = 0;
        if (driver_.waitForReceived(AdapterHandle, 1, limitPassesAt(startNs, limit), clock_,
                                    waiting) != FT_OK) {
            health_.readFailed();
            return giveUp();
        }
    }
}

void AdapterLink::PowerOn() {
    if (AdapterHandle == 0) return;
    sendCommand({kCmdAdapter, kSubSupply, kSupplyOn});
    ChipPowered = QueryPower();
}

void AdapterLink::PowerOff() {
    if (AdapterHandle == 0) return;
    sendCommand({kCmdAdapter, kSubSupply, kSupplyOff});
    ChipPowered = QueryPower();
}

bool AdapterLink::QueryPower() {
    if (AdapterHandle == 0 || !cleanLine(false)) return false;
    sendCommand({kCmdAdapter, kSubQuerySupply, 0});
    const std::int64_t start = clock_.nowNs();
    const Wait wait = awaitReply(1, kAdapterReplyLimitMs, start);
    if (wait.queueFailed) {
        expectStragglers(1, start);
        return false;
    }
    const std::uint32_t waiting = RxQueueBytes;
    const std::uint32_t got = ReadReply(waiting).count;
    if (got == 0 && waiting == 0) {  // no answer in time
        expectStragglers(1, start);
        return false;
    }
    // The answer is one byte; with more, nobody can tell which one it is.
    if (got != 1 || waiting != 1) {
        PurgeRx();
        return false;
    }
    return RxBuffer[0] != 0 && wait.inTime;
}

bool AdapterLink::SetAdapterParameters(unsigned high, unsigned low) {
    if (AdapterHandle == 0) return false;
    if (high > 15 || low > 15) {
        messages_.show(MessageKind::Critical, "Parameters are not OK");
        return false;
    }
    if (!cleanLine(false)) return false;
    const auto parameters = static_cast<std::uint8_t>(high << 4 | low);
    sendCommand({kCmdAdapter, kSubParameters, parameters});
    const std::int64_t start = clock_.nowNs();
    if (awaitReply(1, kAdapterReplyLimitMs, start).queueFailed) {
        expectStragglers(1, start);
        return false;
    }
    const std::uint32_t waiting = RxQueueBytes;
    if (waiting != 1 || ReadReply(1).count != 1) {
        PurgeRx();
        expectStragglers(owedAfter(1, waiting), start);
        return false;
    }
    if (RxBuffer[0] == parameters) return true;
    // Not the echo: the line may have carried something else, and the echo may still come.
    PurgeRx();
    expectStragglers(1, start);
    return false;
}

}  // namespace qe
