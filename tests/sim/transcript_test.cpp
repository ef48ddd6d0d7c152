// The transcript: what the tool did to the simulated adapter, in order.
#include <gtest/gtest.h>

#include <string>

#include "open_simulation.h"
#include "transcript.h"

namespace qe::sim::test {
namespace {

using Texts = std::vector<std::string>;

TEST(Transcript, RecordsCallsAndFramesInOrderWithTheirTimes) {
    ManualClock clock{5 * kMs};
    SimulatedDriver driver(clock);
    auto& adapter = driver.addAdapter();
    adapter.addChip(0);

    std::uint32_t count = 0, written = 0, got = 0;
    FtHandle handle = 0;
    std::uint8_t buffer[8];
    driver.createDeviceInfoList(count);
    driver.openEx("QE000001", kOpenBySerialNumber, handle);
    driver.setLatencyTimer(handle, 16);
    driver.setBitMode(handle, 0, 0);
    driver.setDataCharacteristics(handle, 8, 2, 0);
    driver.setBaudRate(handle, 250'000);
    driver.setTimeouts(handle, 2000, 2000);
    const std::uint8_t frames[] = {'Z', 3, 255, 'V', 0};
    driver.write(handle, frames, 5, written);
    driver.read(handle, buffer, 8, got);
    adapter.failCall("FT_Purge", FT_IO_ERROR);
    driver.purge(handle, kPurgeRx | kPurgeTx);
    driver.read(handle, buffer, 0, got);
    driver.close(handle);

    EXPECT_EQ(driver.transcript().texts(),
              (Texts{"enumerate", "open", "latency 16", "bitmode 0 0", "data 8 2 0", "baud 250000",
                     "timeouts 2000 2000", "power on", "readOutputs 0", "read 8",
                     "purge rx tx failed 4", "check", "close"}));
    EXPECT_EQ(driver.transcript().frames(), (Texts{"power on", "readOutputs 0"}));
    const auto& events = driver.transcript().events();
    EXPECT_EQ(events.front().device, "");
    EXPECT_EQ(events.back().device, "QE000001");
    EXPECT_EQ(events[7].atNs, 5 * kMs + 3 * 44 * kUs) << "a frame counts when its last byte is in";
    EXPECT_EQ(events[9].atNs, 5 * kMs) << "a call counts when it is made";
    EXPECT_EQ(events.back().atNs, 5 * kMs + 5 * 44 * kUs + 8 * 44 * kUs + 16 * kMs);

    driver.transcript().clear();
    EXPECT_TRUE(driver.transcript().events().empty());
}

TEST(Transcript, KeepsOnlyTheNewestEvents) {
    Transcript transcript;
    transcript.setLimit(3);
    for (int i = 0; i < 5; ++i) transcript.add(i, "", Transcript::Kind::Note, std::to_string(i));
    EXPECT_EQ(transcript.texts(), (Texts{"2", "3", "4"}));
}

}  // namespace
}  // namespace qe::sim::test
