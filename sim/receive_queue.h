#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace qe::sim {

// How the adapter's USB chip hands received bytes to the host: a byte spends its time on the
// serial line, then waits in the chip's buffer until a USB packet is full (62 data bytes) or
// the latency timer runs out.
struct UsbTiming {
    static constexpr std::uint32_t kPacketBytes = 62;
    std::int64_t byteNs = 0;     // wire time of one byte
    std::int64_t latencyNs = 0;  // latency timer
    // The timer runs out every latencyNs on the clock, and a short packet goes then; without
    // it a short packet goes a whole latency period after its last byte (the worst case).
    bool timerRuns = false;

    // When the bytes in the chip's buffer since lastByteNs go to the host in a short packet.
    std::int64_t shortPacketAt(std::int64_t lastByteNs) const {
        if (!timerRuns || latencyNs <= 0) return lastByteNs + latencyNs;
        return (lastByteNs / latencyNs + 1) * latencyNs;
    }
};

// The host's receive queue: bytes with the time they arrive there. Bytes arrive in order;
// those whose time has not come yet are still in flight and invisible to the host.
class ReceiveQueue {
public:
    // A reply whose first byte starts on the serial line at startNs.
    void schedule(const std::vector<std::uint8_t>& bytes, std::int64_t startNs,
                  const UsbTiming& timing);

    std::uint32_t arrivedBy(std::int64_t ns) const;
    // When the n-th byte (1-based) of the queue arrives; nothing when fewer are in flight.
    std::optional<std::int64_t> arrivalOf(std::size_t n) const;
    std::size_t size() const { return bytes_.size(); }  // arrived and in flight

    // Takes up to count bytes that have arrived by nowNs.
    std::uint32_t take(std::uint8_t* data, std::uint32_t count, std::int64_t nowNs);
    // A receive purge: what has arrived is discarded; bytes still in flight come later.
    void dropArrived(std::int64_t nowNs);
    void clear() { bytes_.clear(); }

private:
    struct Arrival {
        std::int64_t atNs;
        std::uint8_t byte;
    };
    std::deque<Arrival> bytes_;
};

}  // namespace qe::sim
