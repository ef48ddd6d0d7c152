#pragma once

#include <cstdint>
#include <vector>

#include "adapter_link.h"
#include "adapter_link_access.h"
#include "chip_session.h"
#include "clock.h"
#include "recording_sink.h"
#include "scripted_driver.h"

namespace qe::chip::test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kChip = 5;
inline constexpr std::uint16_t kUntouched = 0xBEEF;

// An adapter link with an open adapter over a scripted driver, and a session with the chip
// at address 5; every image word starts as kUntouched.
struct LinkRig {
    LinkRig() {
        qe::test::AdapterLinkAccess::setAdapterHandle(link, 0x1000);
        session.setChipAddress(kChip);
        image.fill(kUntouched);
    }
    // One reply for each frame in turn; an empty one is no reply at all.
    void replies(const std::vector<Bytes>& bytes) {
        for (const Bytes& reply : bytes) driver.replyToNextWrite(reply);
    }

    ManualClock clock;
    qe::test::ScriptedDriver driver{clock};
    qe::test::RecordingSink sink;
    RegisterImage image{};
    AdapterLink link{driver, clock, sink, image};
    ChipSession session{link};
};

inline Bytes readFrame(std::uint8_t reg) {
    return {'Y', kChip * 2 + 1, reg};
}
inline Bytes writeFrame(std::uint8_t reg, std::uint16_t word) {
    return {'Y', kChip * 2, reg, static_cast<std::uint8_t>(word >> 8),
            static_cast<std::uint8_t>(word & 0xFF)};
}

}  // namespace qe::chip::test
