#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "fake_disk.h"
#include "readout_recording.h"
#include "readout_stream.h"
#include "ring_buffer.h"

namespace qe::chip {
namespace {

using test::FakeDisk;

constexpr std::int64_t kMs = 1'000'000;

ReadoutSample sampleAfterMs(std::int64_t ms) {
    RegisterImage image{};
    image[kFirstOutputWord + 1] = static_cast<std::uint16_t>(ms % 4096);
    ReadoutSample sample = makeReadoutSample(image, DerivedValues{}, ms * kMs, WallTime{});
    return sample;
}

struct RecordingRig {
    explicit RecordingRig(std::size_t capacity = std::string::npos) {
        auto owned = std::make_unique<FakeDisk>(disk, capacity);
        auto writer = std::make_unique<ReadoutCsvWriter>(std::move(owned));
        EXPECT_TRUE(writer->start({5, "QE42A"}));
        recording = std::make_unique<ReadoutRecording>(
            std::move(writer), "/tmp/run.csv",
            [this](const std::string& message) { messages.push_back(message); });
        stream.add(recording.get());
    }
    test::DiskState disk;
    std::unique_ptr<ReadoutRecording> recording;
    ReadoutStream stream;
    std::vector<std::string> messages;
};

TEST(ReadoutRecording, AnUnpluggedAdapterEndsItWithAMessageAndEveryRowWritten) {
    RecordingRig rig;
    for (int ms = 0; ms < 300; ms += 66) rig.stream.publish(sampleAfterMs(ms));
    rig.stream.publishAdapterLost();

    EXPECT_FALSE(rig.recording->active());
    EXPECT_TRUE(rig.disk.closed);
    EXPECT_EQ(std::count(rig.disk.contents.begin(), rig.disk.contents.end(), '\n'), 2 + 5);
    EXPECT_EQ(rig.messages,
              std::vector<std::string>{"The recording stopped: the adapter does not answer. "
                                       "/tmp/run.csv holds the 5 readouts recorded until then."});

    // Nothing more is taken or told.
    rig.stream.publish(sampleAfterMs(400));
    rig.stream.publishAdapterLost();
    EXPECT_EQ(rig.messages.size(), 1u);
    EXPECT_TRUE(rig.recording->stop());
}

TEST(ReadoutRecording, AFullDiskEndsItOnceWithWhatTheFileHolds) {
    RecordingRig rig(400);  // the header and one row
    rig.stream.publish(sampleAfterMs(0));
    rig.recording->flushIfDue(1000 * kMs);
    rig.stream.publish(sampleAfterMs(1100));
    rig.recording->flushIfDue(2100 * kMs);
    rig.stream.publish(sampleAfterMs(2200));

    EXPECT_FALSE(rig.recording->active());
    EXPECT_EQ(rig.messages, std::vector<std::string>{
                                "The recording stopped: /tmp/run.csv could not be written (No "
                                "space left on device). It holds the first 1 readout."});
    EXPECT_EQ(rig.recording->rowCount(), 1u);
    EXPECT_FALSE(rig.recording->stop()) << "the file is short of what was recorded";
}

TEST(ReadoutRecording, StoppingWritesTheRestAndTellsNothing) {
    RecordingRig rig;
    rig.stream.publish(sampleAfterMs(0));
    rig.stream.publish(sampleAfterMs(66));
    EXPECT_TRUE(rig.recording->stop());
    EXPECT_FALSE(rig.recording->active());
    EXPECT_TRUE(rig.messages.empty());
    EXPECT_EQ(rig.recording->rowCount(), 2u);
    EXPECT_EQ(rig.recording->elapsedNs(), 66 * kMs);
    EXPECT_EQ(std::count(rig.disk.contents.begin(), rig.disk.contents.end(), '\n'), 2 + 2);
}

// --- the stream -------------------------------------------------------------------------

struct Counter : ReadoutObserver {
    void readoutArrived(const ReadoutSample& s) override {
        arrived.push_back(s.readout.absolute);
        if (onArrival) onArrival();
    }
    void readoutFailed(std::int64_t ns) override { failedAt.push_back(ns); }
    void adapterLost() override { ++lost; }
    std::vector<int> arrived;
    std::vector<std::int64_t> failedAt;
    int lost = 0;
    std::function<void()> onArrival;
};

TEST(ReadoutStream, EveryObserverHearsEveryEventAndMayLeaveWhileHearing) {
    ReadoutStream stream;
    Counter first;
    Counter second;
    stream.add(&first);
    stream.add(&second);
    stream.add(&first);  // once only
    first.onArrival = [&] { stream.remove(&first); };

    stream.publish(sampleAfterMs(7));
    stream.publish(sampleAfterMs(8));
    stream.publishFailure(9);
    stream.publishAdapterLost();

    EXPECT_EQ(first.arrived, std::vector<int>{7});
    EXPECT_EQ(second.arrived, (std::vector<int>{7, 8}));
    EXPECT_EQ(second.failedAt, std::vector<std::int64_t>{9});
    EXPECT_EQ(second.lost, 1);
    EXPECT_EQ(first.lost, 0);
    stream.remove(&second);
    EXPECT_TRUE(stream.empty());
}

// --- the ring buffer --------------------------------------------------------------------

TEST(RingBuffer, KeepsTheNewestValuesOldestFirstAcrossTheWrap) {
    RingBuffer<int> ring(4);
    EXPECT_TRUE(ring.empty());
    const struct {
        int pushUpTo;
        std::vector<int> kept;
    } steps[] = {
        {1, {1}},
        {4, {1, 2, 3, 4}},
        {5, {2, 3, 4, 5}},
        {11, {8, 9, 10, 11}},  // wrapped more than once
    };
    int next = 1;
    for (const auto& step : steps) {
        while (next <= step.pushUpTo) ring.push(next++);
        std::vector<int> kept;
        for (std::size_t i = 0; i < ring.size(); ++i) kept.push_back(ring[i]);
        EXPECT_EQ(kept, step.kept) << "after pushing " << step.pushUpTo;
        EXPECT_EQ(ring.newest(), step.pushUpTo);
    }
    EXPECT_EQ(ring.capacity(), 4u);
    ring.clear();
    EXPECT_EQ(ring.size(), 0u);
    ring.push(12);
    EXPECT_EQ(ring[0], 12);
}

TEST(RingBuffer, FindsByOrderAcrossTheWrap) {
    RingBuffer<int> ring(5);
    for (int v = 10; v <= 70; v += 10) ring.push(v);  // keeps 30..70, stored wrapped
    const auto before = [](int value, int key) { return value < key; };
    const struct {
        int key;
        std::size_t index;
    } cases[] = {{0, 0}, {30, 0}, {31, 1}, {50, 2}, {70, 4}, {71, 5}};
    for (const auto& c : cases) EXPECT_EQ(ring.lowerBound(c.key, before), c.index) << c.key;
}

}  // namespace
}  // namespace qe::chip
