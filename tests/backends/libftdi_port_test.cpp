// The libftdi1 backend at the adapter's own timing, against a model of libftdi1 1.5's read
// rule over a simulated FT232R whose latency timer is 16 ms.
#include <gtest/gtest.h>

#include <memory>

#include "adapter_link.h"
#include "libftdi_model.h"
#include "recording_sink.h"
#include "simulated_driver.h"

namespace qe::test {
namespace {

constexpr std::int64_t kMs = 1'000'000;

// A link connected to a simulated adapter, through the model or straight through the
// simulated driver (as the vendor's driver sees it).
struct ModelRig {
    explicit ModelRig(bool throughLibFtdi) {
        // Short replies go when the latency timer next runs out, as an FT232R sends them.
        simulated.setPace(sim::SimulatedAdapter::Pace::LatencyTimer);
        simulated.addAdapter().addChip(0);
        if (throughLibFtdi) libftdi = std::make_unique<LibFtdiModelDriver>(clock, simulated);
        link = std::make_unique<AdapterLink>(driver(), clock, sink, image);
        link->setLineSettings({250'000, 8, 2, 0});
        link->EnumerateDevices();
        link->ConnectAdapter({});
    }
    FtdiDriver& driver() { return libftdi ? static_cast<FtdiDriver&>(*libftdi) : simulated; }
    LibFtdiModel& model() { return *libftdi->model(link->adapterHandle()); }
    sim::SimulatedAdapter& adapter() { return simulated.adapter(); }

    ManualClock clock{1'000 * kMs + 3 * kMs};  // not on a latency period
    sim::SimulatedDriver simulated{clock};
    std::unique_ptr<LibFtdiModelDriver> libftdi;
    RecordingSink sink;
    RegisterImage image{};
    std::unique_ptr<AdapterLink> link;
};

// The model keeps libftdi1's rule: asked for a whole chunk, a read returns only when a packet
// brings nothing, a latency period after the reply; asked for just the reply, at the reply.
TEST(LibFtdiModel, ReadReturnsAtTheReplyOnlyWhenAskedForJustItsBytes) {
    ModelRig rig(true);
    ASSERT_TRUE(rig.link->adapterOpen());
    for (const int asked : {4096, 8}) {
        SCOPED_TRACE(asked);
        const std::uint8_t frame[] = {'V', 0};
        std::uint32_t written = 0;
        ASSERT_EQ(rig.driver().write(rig.link->adapterHandle(), frame, 2, written), FT_OK);
        const std::int64_t sentNs = rig.clock.nowNs();
        std::vector<unsigned char> bytes(static_cast<std::size_t>(asked));
        const int got =
            LibFtdiModel::functions().readData(rig.model().context(), bytes.data(), asked);
        EXPECT_EQ(got, 8);
        const std::int64_t tookNs = rig.clock.nowNs() - sentNs;
        EXPECT_GT(tookNs, 0);
        if (asked == 8) {
            EXPECT_LE(tookNs, 16 * kMs);
        } else {
            EXPECT_GT(tookNs, 16 * kMs) << "waited for a packet with nothing in it";
        }
    }
}

// Every designed exchange within its 20 ms limit, as through the vendor's driver.
TEST(LibFtdiPort, EveryExchangeWorksAtSixteenMilliseconds) {
    ModelRig rig(true);
    ASSERT_TRUE(rig.link->adapterOpen());
    EXPECT_TRUE(rig.sink.shown.empty());
    AdapterLink& link = *rig.link;
    link.PowerOn();
    EXPECT_TRUE(link.chipPowered());
    ASSERT_TRUE(link.ScanBus());
    EXPECT_EQ(link.chipAddressList(), std::vector<std::uint8_t>{0});
    EXPECT_TRUE(link.ReadAllRegisters(0));
    // A setting change: read, modify, write, read back.
    const RegisterRead word = link.ReadRegister(0, 51);
    ASSERT_TRUE(word.ok);
    const auto changed = static_cast<std::uint16_t>((word.word & ~0x01C0) | (3 << 6));
    EXPECT_TRUE(link.WriteRegister(0, 51, changed));
    EXPECT_EQ(link.ReadRegister(0, 51).word, changed);
    for (int i = 0; i < 50; ++i) {
        rig.clock.advanceMs(50 + i % 7);  // the poll cycle's pause, at every phase of the timer
        ASSERT_TRUE(link.CheckConnection());
        ASSERT_TRUE(link.ReadOutputRegisters(0)) << "reading " << i;
    }
    EXPECT_EQ(link.health().timeouts, 0u);
    EXPECT_EQ(link.health().late, 0u);
    EXPECT_LE(link.health().worstReplyMs(), 17.0);
}

// A poll cycle of 50 ms plus its run time reads nearly as many outputs through libftdi1 as
// through the vendor's driver.
TEST(LibFtdiPort, PollCycleReadsAsManyOutputsAsTheVendorDriver) {
    const auto outputsInTenSeconds = [](bool throughLibFtdi) {
        ModelRig rig(throughLibFtdi);
        rig.link->PowerOn();
        EXPECT_TRUE(rig.link->ScanBus());
        const std::int64_t endNs = rig.clock.nowNs() + 10'000 * kMs;
        int outputs = 0;
        while (rig.clock.nowNs() < endNs) {
            EXPECT_TRUE(rig.link->CheckConnection());
            if (rig.link->ReadOutputRegisters(0)) ++outputs;
            rig.clock.advanceMs(50);
        }
        return outputs;
    };
    const int vendor = outputsInTenSeconds(false);
    const int libftdi = outputsInTenSeconds(true);
    EXPECT_GT(vendor, 150);
    EXPECT_GE(libftdi * 10, vendor * 9) << libftdi << " against " << vendor;
}

// A packet that brings more than was asked for leaves the rest in libftdi1's buffer: it is
// waiting like any other byte, so the surplus reply is seen and purged, not read next time.
TEST(LibFtdiPort, SurplusInLibFtdisBufferCountsAsWaiting) {
    ModelRig rig(true);
    AdapterLink& link = *rig.link;
    link.PowerOn();
    ASSERT_TRUE(link.ScanBus());
    rig.adapter().addSurplusBytes(1, 0x77);
    EXPECT_FALSE(link.ReadOutputRegisters(0));
    EXPECT_EQ(rig.model().context()->readbuffer_remaining, 0u) << "purged with the rest";
    const RegisterRead word = link.ReadRegister(0, 48);
    EXPECT_TRUE(word.ok);
    EXPECT_NE(word.word >> 8, 0x77);
}

TEST(LibFtdiPort, TimeOutsReachLibFtdiAndAWriteTimeOutIsNoLostDevice) {
    ModelRig rig(true);
    AdapterLink& link = *rig.link;
    ASSERT_TRUE(link.adapterOpen());
    EXPECT_EQ(rig.model().context()->usb_read_timeout, 2000);
    EXPECT_EQ(rig.model().context()->usb_write_timeout, 2000);

    const FtHandle handle = link.adapterHandle();
    const std::uint8_t frame[] = {'Z', 4, 0};
    std::uint32_t written = 7;
    rig.model().timeOutWrites(true);
    EXPECT_EQ(rig.driver().write(handle, frame, 3, written), FT_OK);
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(link.CheckConnection());
    rig.model().timeOutWrites(false);

    rig.adapter().unplug();
    EXPECT_EQ(rig.driver().write(handle, frame, 3, written), FT_IO_ERROR);
    std::uint32_t waiting = 0;
    EXPECT_EQ(
        rig.driver().waitForReceived(handle, 1, rig.clock.nowNs() + 20 * kMs, rig.clock, waiting),
        FT_IO_ERROR);
    EXPECT_FALSE(link.CheckConnection());
}

}  // namespace
}  // namespace qe::test
