#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_text.h"
#include "scripted_driver.h"
#include "tracing_driver.h"

namespace qe {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct FrameCase {
    Bytes frame;
    Bytes reply;
    const char* frameText;
    const char* replyText;
};

TEST(FrameText, DescribesEveryFrameAndItsReply) {
    const FrameCase cases[] = {
        {{'Y', 42, 48, 0x02, 0x05}, {1}, "write chip 21 register 48 = 0x0205", "acknowledged"},
        {{'Y', 42, 48, 0x02, 0x05}, {0}, "write chip 21 register 48 = 0x0205", "refused"},
        {{'Y', 42, 48, 0x02, 0x05},
         {1, 1},
         "write chip 21 register 48 = 0x0205",
         "not an acknowledgement"},
        {{'Y', 43, 49}, {0x54, 0xD2}, "read chip 21 register 49", "word 0x54D2"},
        {{'V', 10},
         {0x04, 0x00, 0x84, 0xD2, 0x20, 0x00, 0x80, 0x01},
         "read outputs of chip 5",
         "32:0x0400 33:0x84D2 34:0x2000 35:0x8001"},
        {{'V', 10}, {0x04, 0x00, 0x84}, "read outputs of chip 5", "32:0x0400 and half a word"},
        {{'W', 10}, Bytes(112, 0), "read all registers of chip 5", "112 bytes of registers"},
        {{'X'}, {0x12, 0x13, 0x80}, "scan bus", "chips 18 19, end"},
        {{'X'}, {0xFF}, "scan bus", "no chips, end"},
        {{'X'}, {0x05}, "scan bus", "chips 5"},
        {{'Z', 3, 255}, {}, "power on", "nothing"},
        {{'Z', 3, 0}, {}, "power off", "nothing"},
        {{'Z', 4, 0}, {1}, "query power", "power is on"},
        {{'Z', 4, 0}, {0}, "query power", "power is off"},
        {{'Z', 2, 0xF0}, {0xF0}, "adapter parameters 15/0", "parameters echoed"},
        {{'Z', 2, 0xF0}, {0x0F}, "adapter parameters 15/0", "parameters not echoed"},
        {{'Y', 43}, {}, "malformed register command", "nothing"},
        {{'Q'}, {1}, "unknown command", "unexpected"},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(hexBytes(c.frame));
        EXPECT_EQ(describeFrame(c.frame), c.frameText);
        EXPECT_EQ(describeReply(c.frame, c.reply), c.replyText);
    }
    EXPECT_EQ(hexBytes(Bytes{0x59, 0x0A, 0x30}), "59 0A 30");
}

class TracingDriverTest : public ::testing::Test {
protected:
    ManualClock clock{5'000'000'000};
    test::ScriptedDriver inner{clock};
    std::vector<std::string> lines;
    TracingDriver tracer{inner, clock, [this](const std::string& line) { lines.push_back(line); }};
    FtHandle handle = 0;

    void SetUp() override {
        DeviceInfoNode node;
        std::snprintf(node.SerialNumber, sizeof node.SerialNumber, "QE000001");
        std::snprintf(node.Description, sizeof node.Description, "QE7204 interface");
        inner.devices.push_back(node);
    }
};

TEST_F(TracingDriverTest, TellsFramesRepliesAndCallsAroundThemWithTheirTime) {
    ASSERT_EQ(tracer.openEx("QE000001", kOpenBySerialNumber, handle), FT_OK);
    ASSERT_EQ(tracer.setTimeouts(handle, 2000, 2000), FT_OK);
    clock.advanceMs(12);
    inner.replyToNextWrite({0x02, 0x05}, 1);
    const Bytes frame{'Y', 11, 48};
    std::uint32_t written = 0;
    ASSERT_EQ(tracer.write(handle, frame.data(), 3, written), FT_OK);

    // Looks at the queue and empty reads are the link's waiting, not traffic.
    std::uint32_t queued = 0;
    std::uint8_t buffer[8] = {};
    std::uint32_t got = 0;
    ASSERT_EQ(tracer.getQueueStatus(handle, queued), FT_OK);
    ASSERT_EQ(tracer.read(handle, buffer, 0, got), FT_OK);
    ASSERT_EQ(tracer.read(handle, buffer, 2, got), FT_OK);
    ASSERT_EQ(tracer.purge(handle, kPurgeRx | kPurgeTx), FT_OK);

    EXPECT_EQ(lines, (std::vector<std::string>{
                         "     0.000 open by serial \"QE000001\"",
                         "     0.000 time-outs read 2000 ms, write 2000 ms",
                         "    12.000 -> 59 0B 30  read chip 5 register 48",
                         "    13.000 <- 02 05  word 0x0205",
                         "    13.000 purge rx tx",
                     }));
    EXPECT_EQ(inner.frames(), (std::vector<Bytes>{frame}));
}

TEST_F(TracingDriverTest, TellsFailedCallsWithTheirStatus) {
    ASSERT_EQ(tracer.openEx("QE000001", kOpenBySerialNumber, handle), FT_OK);
    inner.failCall("FT_GetQueueStatus", FT_IO_ERROR);
    inner.failCall("FT_Read", FT_IO_ERROR);
    inner.limitWrites(2);
    std::uint32_t value = 0;
    std::uint8_t buffer[2] = {};
    const Bytes frame{'Z', 4, 0};
    EXPECT_EQ(tracer.getQueueStatus(handle, value), FT_IO_ERROR);
    EXPECT_EQ(tracer.read(handle, buffer, 0, value), FT_IO_ERROR);
    EXPECT_EQ(tracer.write(handle, frame.data(), 3, value), FT_OK);
    lines.erase(lines.begin());
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "     0.000 queue status: status 4 (General IO error)",
                         "     0.000 <- check connection: status 4 (General IO error)",
                         "     0.000 -> 5A 04 00  query power (2 of 3 bytes taken)",
                     }));
}

TEST_F(TracingDriverTest, WaitsForRepliesThroughTheInnerDriverTellingOnlyFailures) {
    ASSERT_EQ(tracer.openEx("QE000001", kOpenBySerialNumber, handle), FT_OK);
    lines.clear();
    const std::int64_t start = clock.nowNs();
    inner.arriveAt(start + 3'000'000, {1, 2, 3, 4, 5, 6, 7, 8});
    std::uint32_t queued = 0;
    EXPECT_EQ(tracer.waitForReceived(handle, 8, start + 20'000'000, clock, queued), FT_OK);
    EXPECT_EQ(queued, 8u);
    EXPECT_GE(clock.nowNs(), start + 3'000'000);
    EXPECT_LT(clock.nowNs(), start + 20'000'000);
    EXPECT_TRUE(lines.empty());

    inner.failCall("FT_GetQueueStatus", FT_IO_ERROR);
    EXPECT_EQ(tracer.waitForReceived(handle, 8, start + 40'000'000, clock, queued), FT_IO_ERROR);
    EXPECT_EQ(lines,
              std::vector<std::string>{"     3.000 queue status: status 4 (General IO error)"});
}

}  // namespace
}  // namespace qe
