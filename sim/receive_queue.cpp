#include "receive_queue.h"

#include <algorithm>

namespace qe::sim {

void ReceiveQueue::schedule(const std::vector<std::uint8_t>& bytes, std::int64_t startNs,
                            const UsbTiming& timing) {
    const auto count = bytes.size();
    const auto fullPackets = count / UsbTiming::kPacketBytes;
    const auto tailArrival =
        timing.shortPacketAt(startNs + static_cast<std::int64_t>(count) * timing.byteNs);
    std::int64_t previous = bytes_.empty() ? startNs : bytes_.back().atNs;
    for (std::size_t i = 0; i < count; ++i) {
        const auto packet = i / UsbTiming::kPacketBytes;
        // A full packet goes out as soon as its last byte is in; the rest waits for the timer.
        const auto at =
            packet < fullPackets
                ? startNs + static_cast<std::int64_t>((packet + 1) * UsbTiming::kPacketBytes) *
                                timing.byteNs
                : tailArrival;
        previous = std::max(previous, at);  // the USB chip never reorders
        bytes_.push_back(Arrival{previous, bytes[i]});
    }
}

std::uint32_t ReceiveQueue::arrivedBy(std::int64_t ns) const {
    // Arrival times never decrease, so the arrived bytes are a prefix.
    const auto end = std::partition_point(bytes_.begin(), bytes_.end(),
                                          [ns](const Arrival& a) { return a.atNs <= ns; });
    return static_cast<std::uint32_t>(end - bytes_.begin());
}

std::optional<std::int64_t> ReceiveQueue::arrivalOf(std::size_t n) const {
    if (n == 0 || n > bytes_.size()) return std::nullopt;
    return bytes_[n - 1].atNs;
}

std::uint32_t ReceiveQueue::take(std::uint8_t* data, std::uint32_t count, std::int64_t nowNs) {
    const auto taken = std::min(count, arrivedBy(nowNs));
    for (std::uint32_t i = 0; i < taken; ++i) {
        data[i] = bytes_.front().byte;
        bytes_.pop_front();
    }
    return taken;
}

void ReceiveQueue::dropArrived(std::int64_t nowNs) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + arrivedBy(nowNs));
}

}  // namespace qe::sim
