// Capture mode through the chip core against the simulated adapter at a real adapter's
// pace, on a manual clock: the latency timer low while it runs and the designed one back
// however it ends, frames in flight matched in order to their requests, the probe's fall-back
// for firmware that takes one frame at a time, and a clean line for whatever comes next.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adapter_link.h"
#include "capture_session.h"
#include "chip.h"
#include "magnet_check.h"
#include "open_simulation.h"
#include "readout_loop.h"
#include "recording_sink.h"
#include "simulation.h"

namespace qe::sim::test {
namespace {

using chip::CaptureOptions;
using chip::CaptureSession;
using chip::ReadoutEnd;
using chip::ReadoutPace;
using chip::ReadoutSample;

constexpr double kTurnsPerSecond = 20.0;
// The chip samples when the request's last byte is in: two bytes after it left.
constexpr std::int64_t kFrameWireNs = 88 * kUs;

struct Samples final : chip::ReadoutObserver {
    std::vector<ReadoutSample> got;
    int gaps = 0;
    void readoutArrived(const ReadoutSample& s) override { got.push_back(s); }
    void readoutFailed(std::int64_t) override { ++gaps; }
};

class Capture : public ::testing::Test {
protected:
    void open(SimulationOptions options = {}) {
        options.revolutionsPerSecond = kTurnsPerSecond;
        driver = makeDefaultSimulation(clock, options);
        device = std::make_unique<chip::Chip>(*driver, clock, sink, chip::AdapterPolicy{});
        device->setReplyTimeoutMs(AdapterLink::kLoadedBusReplyTimeoutMs);
        ASSERT_TRUE(device->openAdapter().ok());
        [[maybe_unused]] const chip::ScanResult scanned = device->powerOn();
        ASSERT_EQ(device->chipsFound(), std::vector<std::uint8_t>{0});
        ASSERT_TRUE(device->refreshSettings().ok());
        device->deriveFromMirror();
        device->readouts().stream().add(&samples);
        driver->transcript().clear();
    }
    void TearDown() override {
        if (device) device->readouts().stream().remove(&samples);
    }
    SimulatedAdapter& adapter() { return driver->adapter(); }
    ReadoutEnd read(long long count, const chip::ReadoutLoop::StopCheck& stop = {}) {
        ReadoutPace pace;
        pace.intervalNs = 0;
        pace.count = count;
        return device->readouts().run(pace, stop);
    }
    long long frames(const std::string& text) const {
        const auto all = driver->transcript().frames();
        return std::count(all.begin(), all.end(), text);
    }
    std::vector<std::string> latencyCalls() const {
        std::vector<std::string> calls;
        for (const std::string& call : driver->transcript().calls())
            if (call.starts_with("latency")) calls.push_back(call);
        return calls;
    }
    // How far the AbsPos read is from where the magnet stood when the chip sampled.
    int countsOff(const ReadoutSample& s, std::int64_t sampledNs) {
        const int read = chip::sampleField(s, chip::fields::AbsPos);
        const int there = adapter().magnet().positionAt(sampledNs);
        const int d = std::abs(read - there) % kCountsPerTurn;
        return std::min(d, kCountsPerTurn - d);
    }

    ManualClock clock{1'000 * kMs};
    std::unique_ptr<SimulatedDriver> driver;
    qe::test::RecordingSink sink;
    std::unique_ptr<chip::Chip> device;
    Samples samples;
};

TEST_F(Capture, LowersTheLatencyTimerWhileItRunsAndPutsTheDesignedOneBack) {
    struct Case {
        const char* name;
        std::uint8_t asked;
        std::uint8_t used;
        std::vector<std::string> calls;
        std::vector<std::string> notes;
    };
    // The simulated adapter refuses 1 ms as the vendor library does for most chips.
    const Case cases[] = {
        {"TwoMs", 2, 2, {"latency 2", "latency 16"}, {}},
        {"OneMsRefused",
         1,
         2,
         {"latency 1 failed 6", "latency 2", "latency 16"},
         {"the adapter refused a latency timer of 1 ms (status 6); capturing at 2 ms"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open();
        {
            CaptureSession capture(*device, {.latencyMs = c.asked});
            EXPECT_EQ(capture.latencyMs(), c.used);
            EXPECT_EQ(adapter().latencyTimerMs(), c.used);
            EXPECT_EQ(read(5), ReadoutEnd::Counted);
            EXPECT_EQ(capture.notes(), c.notes);
        }
        EXPECT_EQ(adapter().latencyTimerMs(), AdapterLink::kLatencyTimerMs);
        EXPECT_EQ(latencyCalls(), c.calls);
        device->readouts().stream().remove(&samples);
    }
}

TEST_F(Capture, WithoutAnyLatencyTheAdapterTakesTheCaptureRunsAtTheDesignedOne) {
    open();
    adapter().failCall("FT_SetLatencyTimer", FT_IO_ERROR);
    {
        CaptureSession capture(*device, {});
        EXPECT_EQ(capture.latencyMs(), AdapterLink::kLatencyTimerMs);
        EXPECT_EQ(read(3), ReadoutEnd::Counted);
        adapter().failCall("FT_SetLatencyTimer", FT_OK);
        EXPECT_TRUE(capture.finish());
        EXPECT_EQ(capture.notes(),
                  std::vector<std::string>{"the adapter refused a latency timer of 2 ms (status "
                                           "4); capturing at 16 ms"});
    }
    EXPECT_EQ(adapter().latencyTimerMs(), AdapterLink::kLatencyTimerMs);
}

TEST_F(Capture, OneInFlightReadsAtTheLatencyTimersPaceStampedWhenEachRequestLeft) {
    open();
    const std::int64_t start = clock.nowNs();
    {
        CaptureSession capture(*device, {});
        ASSERT_EQ(read(50), ReadoutEnd::Counted);
    }
    ASSERT_EQ(samples.got.size(), 50u);
    EXPECT_EQ(frames("readOutputs 0"), 50);
    // Each short reply goes when the 2 ms timer next runs out: one readout a period.
    EXPECT_LE(clock.nowNs() - start, 51 * 2 * kMs);
    for (const ReadoutSample& s : samples.got)
        EXPECT_LE(countsOff(s, s.requestNs + kFrameWireNs), 4) << s.requestNs;
}

// Read through run() as watch reads, and one readout at a time as the Python iterator reads.
TEST_F(Capture, FramesInFlightAreMatchedInOrderToTheirRequests) {
    for (const bool oneAtATime : {false, true}) {
        SCOPED_TRACE(oneAtATime ? "next()" : "run()");
        open();
        samples.got.clear();
        samples.gaps = 0;
        const std::int64_t start = clock.nowNs();
        {
            CaptureSession capture(*device, {.inFlight = 8});
            EXPECT_EQ(capture.inFlight(), 8u);
            EXPECT_TRUE(capture.notes().empty());
            if (oneAtATime) {
                ReadoutPace pace;
                pace.intervalNs = 0;
                pace.count = 200;
                for (int i = 0; i < 200; ++i) ASSERT_TRUE(device->readouts().next(pace, {}).sample);
                EXPECT_EQ(device->readouts().next(pace, {}).end, ReadoutEnd::Counted);
            } else {
                ASSERT_EQ(read(200), ReadoutEnd::Counted);
            }
        }
        ASSERT_EQ(samples.got.size(), 200u);
        EXPECT_EQ(samples.gaps, 0);
        // The probe's eight, then no more requests than readouts asked for.
        EXPECT_EQ(frames("readOutputs 0"), 8 + 200);
        // The serial line is the limit: 10 bytes of 44 us an exchange, not a latency period.
        EXPECT_LT(clock.nowNs() - start, 200 * 2 * kMs / 3);
        // A reply taken for the request before or after its own is 29 counts off at this
        // speed. Requests handed over together are stamped as they get the line, one after
        // the other.
        for (std::size_t i = 0; i < samples.got.size(); ++i)
            EXPECT_LE(countsOff(samples.got[i], samples.got[i].requestNs + kFrameWireNs), 4) << i;
        for (std::size_t i = 1; i < samples.got.size(); ++i)
            EXPECT_GT(samples.got[i].requestNs, samples.got[i - 1].requestNs);
        TearDown();
    }
}

TEST_F(Capture, FirmwareThatTakesOneFrameAtATimeFallsBackToOneInFlightAndSaysSo) {
    open({.oneFrameAtATime = true});
    {
        CaptureSession capture(*device, {.inFlight = 8});
        EXPECT_EQ(capture.inFlight(), 1u);
        EXPECT_EQ(capture.notes(),
                  std::vector<std::string>{"the adapter did not return 8 frames in flight whole "
                                           "and in order; reading with one in flight"});
        ASSERT_EQ(read(20), ReadoutEnd::Counted);
    }
    EXPECT_EQ(samples.got.size(), 20u);
    EXPECT_EQ(samples.gaps, 0);
    for (const ReadoutSample& s : samples.got)
        EXPECT_LE(countsOff(s, s.requestNs + kFrameWireNs), 4) << s.requestNs;
}

// Stopped with replies still on their way: they must not be taken as the answer to the next
// designed exchange, and the designed timer is back.
TEST_F(Capture, AStopWithFramesInFlightLeavesACleanLineAndTheDesignedTimer) {
    open();
    {
        CaptureSession capture(*device, {.inFlight = 8});
        int asked = 0;
        EXPECT_EQ(read(100, [&] { return ++asked > 30; }), ReadoutEnd::Stopped);
    }
    EXPECT_EQ(adapter().latencyTimerMs(), AdapterLink::kLatencyTimerMs);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(device->readOutputs().ok());
        const std::int64_t sampled = device->outputsRequestedNs() + kFrameWireNs;
        const ReadoutSample s =
            chip::makeReadoutSample(device->image(), device->derived(), sampled, {});
        EXPECT_LE(countsOff(s, sampled), 4) << i;
    }
}

TEST_F(Capture, AnUnplugEndsTheCaptureWithNothingLeftToRestore) {
    open();
    {
        CaptureSession capture(*device, {.inFlight = 4});
        adapter().unplugAtWrite(20);
        EXPECT_EQ(read(1000), ReadoutEnd::AdapterLost);
        EXPECT_TRUE(capture.finish());
    }
    EXPECT_FALSE(device->adapterOpen());
    EXPECT_EQ(latencyCalls(), std::vector<std::string>{"latency 2"});
    // Plugged back and opened again, the adapter has the designed timer.
    adapter().replug();
    ASSERT_TRUE(device->openAdapter().ok());
    EXPECT_EQ(adapter().latencyTimerMs(), AdapterLink::kLatencyTimerMs);
}

// The magnet check at motor speed: 50 turns a second, off-centre by 20 counts, which at the
// window's pace could not be followed at all.
TEST_F(Capture, MeasuresAnOffCentreMagnetOnAShaftAtMotorSpeed) {
    for (const std::size_t inFlight : {1u, 8u}) {
        SCOPED_TRACE(inFlight);
        open({.offCentreCounts = 20.0});
        adapter().magnet().setSpeed(50.0);
        struct Checking final : chip::ReadoutObserver {
            chip::MagnetCheck check;
            void readoutArrived(const ReadoutSample& s) override { check.add(s); }
        } checking;
        const chip::ReadoutListening listening(device->readouts().stream(), checking);
        {
            CaptureSession capture(*device, {.inFlight = inFlight});
            ReadoutPace pace;
            pace.intervalNs = 0;
            EXPECT_EQ(device->readouts().run(pace, [&] { return checking.check.complete(); }),
                      ReadoutEnd::Stopped);
        }
        const chip::MagnetCheckResult result = checking.check.result();
        ASSERT_TRUE(result.report) << result.error;
        EXPECT_NEAR(result.report->errorFirst.amplitude, 20.0, 2.0);
        device->readouts().stream().remove(&samples);
    }
}

TEST_F(Capture, AnAdapterThatRefusesTheDesignedTimerBackIsTold) {
    open();
    CaptureSession capture(*device, {});
    adapter().failCall("FT_SetLatencyTimer", FT_IO_ERROR);
    EXPECT_FALSE(capture.finish());
    EXPECT_EQ(
        capture.notes(),
        std::vector<std::string>{"the adapter refused its latency timer of 16 ms back (status 4)"});
}

}  // namespace
}  // namespace qe::sim::test
