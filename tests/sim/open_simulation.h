#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "clock.h"
#include "simulated_driver.h"

namespace qe::sim::test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::int64_t kUs = 1'000;
inline constexpr std::int64_t kMs = 1'000'000;

// One adapter with one chip at address 0, opened through the driver, chip supply on, on a
// manual clock. Replies are instant unless a test turns the timing on.
class OpenSimulation : public ::testing::Test {
protected:
    void SetUp() override {
        driver.setInstantReplies(true);
        adapter.addChip(0);
        ASSERT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, handle), FT_OK);
        send({'Z', 3, 255});
        driver.transcript().clear();
    }

    // FT_Write of the bytes; returns the count the driver took.
    std::uint32_t write(const Bytes& bytes) {
        std::uint32_t written = 0;
        EXPECT_EQ(
            driver.write(handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()), written),
            FT_OK);
        return written;
    }

    void send(const Bytes& bytes) { ASSERT_EQ(write(bytes), bytes.size()); }

    // Bytes in the receive queue now.
    std::uint32_t waiting() {
        std::uint32_t count = 0;
        EXPECT_EQ(driver.getQueueStatus(handle, count), FT_OK);
        return count;
    }

    // Everything that has arrived by now.
    Bytes arrived() { return read(waiting()); }

    // FT_Read of count bytes: waits on the clock like the driver does.
    Bytes read(std::uint32_t count) {
        Bytes bytes(count);
        std::uint32_t got = 0;
        EXPECT_EQ(driver.read(handle, bytes.data(), count, got), FT_OK);
        bytes.resize(got);
        return bytes;
    }

    Bytes exchange(const Bytes& frame) {
        send(frame);
        return arrived();
    }

    ManualClock clock{1'000 * kMs};
    SimulatedDriver driver{clock};
    SimulatedAdapter& adapter = driver.addAdapter();
    FtHandle handle = 0;
};

}  // namespace qe::sim::test
