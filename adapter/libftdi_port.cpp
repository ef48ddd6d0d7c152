#include "libftdi_port.h"

#include <ftdi.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "clock.h"
#include "libftdi_support.h"

namespace qe {

namespace {

// A transfer with no time-out set still ends.
constexpr std::uint32_t kUnsetTimeoutMs = 2000;
// ftdi_write_data's one result for every failed transfer, a time-out included.
constexpr int kWriteFailed = -1;

int timeoutOrUnset(std::uint32_t ms) {
    return static_cast<int>(ms != 0 ? ms : kUnsetTimeoutMs);
}

}  // namespace

const LibFtdiFunctions& LibFtdiFunctions::library() {
    static const LibFtdiFunctions functions{
        ftdi_read_data, ftdi_write_data, ftdi_poll_modem_status, ftdi_tciflush, ftdi_tcoflush,
    };
    return functions;
}

LibFtdiPort::LibFtdiPort(ftdi_context* context, const LibFtdiFunctions& functions)
    : context_(context), functions_(functions) {}

void LibFtdiPort::setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    readTimeoutMs_ = readMs;
    context_->usb_read_timeout = timeoutOrUnset(readMs);
    context_->usb_write_timeout = timeoutOrUnset(writeMs);
}

FtStatus LibFtdiPort::write(const std::uint8_t* data, std::uint32_t count, std::uint32_t& written) {
    written = 0;
    const int result = functions_.writeData(context_, data, static_cast<int>(count));
    if (result >= 0) {
        written = std::min(static_cast<std::uint32_t>(result), count);
        return FT_OK;
    }
    // A write that timed out fails like one to a device that has gone; a device that still
    // tells its modem status is there, and the write simply moved nothing.
    unsigned short modemStatus = 0;
    if (result == kWriteFailed && functions_.pollModemStatus(context_, &modemStatus) >= 0)
        return FT_OK;
    return FT_IO_ERROR;
}

std::uint32_t LibFtdiPort::held() const {
    return static_cast<std::uint32_t>(received_.size()) + context_->readbuffer_remaining;
}

FtStatus LibFtdiPort::fetch(std::uint32_t count) {
    const auto have = static_cast<std::uint32_t>(received_.size());
    if (have >= count) return FT_OK;
    std::uint32_t wanted = count - have;
    // What libftdi1 holds already comes without a USB transfer when asked for alone.
    if (context_->readbuffer_remaining > 0)
        wanted = std::min<std::uint32_t>(wanted, context_->readbuffer_remaining);
    std::vector<std::uint8_t> chunk(wanted);
    const int result = functions_.readData(context_, chunk.data(), static_cast<int>(wanted));
    if (result > 0)
        received_.append(chunk.data(), std::min(static_cast<std::size_t>(result), chunk.size()));
    return statusOfLibFtdi(LibFtdiCall::Read, result);
}

FtStatus LibFtdiPort::read(std::uint8_t* data, std::uint32_t count, std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (count == 0) {
        // Whether the device still answers: a control transfer, cheaper than a bulk read.
        unsigned short modemStatus = 0;
        return statusOfLibFtdi(LibFtdiCall::ModemStatus,
                               functions_.pollModemStatus(context_, &modemStatus));
    }
    using SteadyClock = std::chrono::steady_clock;
    const auto deadline =
        SteadyClock::now() + std::chrono::milliseconds(timeoutOrUnset(readTimeoutMs_));
    while (received_.size() < count &&
           (held() > received_.size() || SteadyClock::now() < deadline)) {
        const FtStatus status = fetch(count);
        if (status != FT_OK) return status;
    }
    bytesRead = static_cast<std::uint32_t>(received_.take(data, count));
    return FT_OK;
}

FtStatus LibFtdiPort::queueStatus(std::uint32_t& rxBytes) const {
    rxBytes = held();
    return FT_OK;
}

FtStatus LibFtdiPort::waitForReceived(std::uint32_t count, std::int64_t deadlineNs, Clock& clock,
                                      std::uint32_t& rxBytes) {
    // At least one look, so that what has come is counted even at the deadline. Each look
    // waits in the USB transfer itself, which the device ends at the latest when its latency
    // timer runs out.
    do {
        const FtStatus status = fetch(std::max<std::uint32_t>(count, 1));
        if (status != FT_OK) return status;
    } while (received_.size() < count && clock.nowNs() < deadlineNs);
    rxBytes = held();
    return FT_OK;
}

FtStatus LibFtdiPort::purge(std::uint32_t mask) {
    if ((mask & (kPurgeRx | kPurgeTx)) == 0) return FT_INVALID_PARAMETER;
    int result = 0;
    if (mask & kPurgeRx) {
        received_.clear();
        // Empties libftdi1's own buffer too.
        result = functions_.tciflush(context_);
    }
    if ((mask & kPurgeTx) && result >= 0) result = functions_.tcoflush(context_);
    return statusOfLibFtdi(LibFtdiCall::Flush, result);
}

}  // namespace qe
