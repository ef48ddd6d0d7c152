#include "tracing_driver.h"

#include <cstdio>
#include <span>

#include "frame_text.h"

namespace qe {

namespace {

std::string statusText(FtStatus status) {
    // The driver's own texts start with " - "; the status number says the rest.
    std::string text = driverStatusText(status);
    const auto start = text.find_first_not_of(" -");
    text = start == std::string::npos ? std::string() : text.substr(start);
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    return "status " + std::to_string(status) + (text.empty() ? "" : " (" + text + ")");
}

std::string purgeText(std::uint32_t mask) {
    std::string text = "purge";
    if (mask & kPurgeRx) text += " rx";
    if (mask & kPurgeTx) text += " tx";
    return text;
}

}  // namespace

TracingDriver::TracingDriver(FtdiDriver& inner, Clock& clock, LineSink sink)
    : inner_(inner), clock_(clock), sink_(std::move(sink)), startNs_(clock.nowNs()) {}

void TracingDriver::line(const std::string& text, FtStatus status) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.3f ",
                  static_cast<double>(clock_.nowNs() - startNs_) / 1'000'000.0);
    sink_(stamp + text + (status == FT_OK ? "" : ": " + statusText(status)));
}

FtStatus TracingDriver::createDeviceInfoList(std::uint32_t& deviceCount) {
    const FtStatus status = inner_.createDeviceInfoList(deviceCount);
    line("list devices: " + std::to_string(status == FT_OK ? deviceCount : 0), status);
    return status;
}

FtStatus TracingDriver::getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) {
    const FtStatus status = inner_.getDeviceInfoList(nodes, deviceCount);
    if (status != FT_OK) {
        line("device list", status);
        return status;
    }
    for (std::uint32_t i = 0; i < deviceCount; ++i)
        line("device " + std::to_string(i) + ": serial \"" + nodes[i].serialNumber() + "\", \"" +
             nodes[i].description() + "\"" + (nodes[i].Flags & 1u ? ", open" : ""));
    return status;
}

FtStatus TracingDriver::openEx(const void* arg, std::uint32_t flags, FtHandle& handle) {
    const FtStatus status = inner_.openEx(arg, flags, handle);
    const char* by = flags == kOpenBySerialNumber ? "serial" : "description";
    line(std::string("open by ") + by + " \"" + static_cast<const char*>(arg) + "\"", status);
    lastFrame_.clear();
    return status;
}

FtStatus TracingDriver::close(FtHandle handle) {
    const FtStatus status = inner_.close(handle);
    line("close", status);
    return status;
}

FtStatus TracingDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    const FtStatus status = inner_.setLatencyTimer(handle, milliseconds);
    line("latency timer " + std::to_string(milliseconds) + " ms", status);
    return status;
}

FtStatus TracingDriver::setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) {
    const FtStatus status = inner_.setBitMode(handle, mask, mode);
    line("bit mode mask " + std::to_string(mask) + " mode " + std::to_string(mode), status);
    return status;
}

FtStatus TracingDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                               std::uint8_t stopBits, std::uint8_t parity) {
    const FtStatus status = inner_.setDataCharacteristics(handle, wordLength, stopBits, parity);
    line("data bits " + std::to_string(wordLength) + ", stop bits " + std::to_string(stopBits) +
             ", parity " + std::to_string(parity),
         status);
    return status;
}

FtStatus TracingDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    const FtStatus status = inner_.setBaudRate(handle, baud);
    line("baud rate " + std::to_string(baud), status);
    return status;
}

FtStatus TracingDriver::setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) {
    const FtStatus status = inner_.setTimeouts(handle, readMs, writeMs);
    line("time-outs read " + std::to_string(readMs) + " ms, write " + std::to_string(writeMs) +
             " ms",
         status);
    return status;
}

FtStatus TracingDriver::write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                              std::uint32_t& written) {
    const FtStatus status = inner_.write(handle, data, count, written);
    lastFrame_.assign(data, data + count);
    std::string text = "-> " + hexBytes(lastFrame_) + "  " + describeFrame(lastFrame_);
    if (status == FT_OK && written != count)
        text += " (" + std::to_string(written) + " of " + std::to_string(count) + " bytes taken)";
    line(text, status);
    return status;
}

FtStatus TracingDriver::read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                             std::uint32_t& bytesRead) {
    const FtStatus status = inner_.read(handle, data, count, bytesRead);
    if (status != FT_OK) {
        line(count == 0 ? "<- check connection" : "<- read " + std::to_string(count), status);
        return status;
    }
    if (bytesRead > 0) {
        const std::span<const std::uint8_t> reply(data, bytesRead);
        line("<- " + hexBytes(reply) + "  " + describeReply(lastFrame_, reply));
    } else if (count > 0) {
        line("<- nothing of " + std::to_string(count) + " bytes asked");
    }
    return status;
}

FtStatus TracingDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    const FtStatus status = inner_.getQueueStatus(handle, rxBytes);
    if (status != FT_OK) line("queue status", status);
    return status;
}

FtStatus TracingDriver::purge(FtHandle handle, std::uint32_t mask) {
    const FtStatus status = inner_.purge(handle, mask);
    line(purgeText(mask), status);
    return status;
}

FtStatus TracingDriver::waitForReceived(FtHandle handle, std::uint32_t count,
                                        std::int64_t deadlineNs, Clock& clock,
                                        std::uint32_t& rxBytes) {
    const FtStatus status = inner_.waitForReceived(handle, count, deadlineNs, clock, rxBytes);
    if (status != FT_OK) line("queue status", status);
    return status;
}

}  // namespace qe
