// Recording at the speed of the link: once its buffers have their room, the CSV writer makes
// rows without a single heap allocation. A program of its own, since it counts every
// operator new of the process.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string_view>

#include "readout_csv_writer.h"

namespace {

std::atomic<long long> allocations{0};

}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace qe::chip {
namespace {

// Takes the bytes and forgets them, allocating nothing.
class CountingOutput final : public RecordingOutput {
public:
    explicit CountingOutput(std::size_t& bytes) : bytes_(bytes) {}
    bool write(std::string_view bytes) override {
        bytes_ += bytes.size();
        return true;
    }
    bool truncate(std::uint64_t) override { return true; }
    bool close() override { return true; }
    std::string errorText() const override { return {}; }

private:
    std::size_t& bytes_;
};

constexpr std::int64_t kMs = 1'000'000;

// A readout a millisecond, the magnet turning and every status and range in turn, so that
// the texts take all their lengths.
ReadoutSample sampleAt(int i, const DerivedValues& derived) {
    RegisterImage image{};
    image[kFirstOutputWord] = static_cast<std::uint16_t>((i * 37) % 4096);
    image[kFirstOutputWord + 1] = static_cast<std::uint16_t>((i * 53) % 4096);
    image[kFirstOutputWord + 2] = static_cast<std::uint16_t>((i * 7) % 1024);
    image[kFirstOutputWord + 3] = static_cast<std::uint16_t>((i % 4) << 8 | (i % 16));
    const WallTime wall{std::chrono::milliseconds(1'796'914'569'123 + i)};
    return makeReadoutSample(image, derived, i * kMs, wall);
}

TEST(CsvRowAllocation, RowsAfterTheFirstSecondsAllocateNothing) {
    DerivedValues derived;
    updateDerived(derived, Derived::Resolution, 0);
    updateDerived(derived, Derived::TachoRange, 3);
    std::size_t written = 0;
    ReadoutCsvWriter writer(std::make_unique<CountingOutput>(written));
    ASSERT_TRUE(writer.start({5, "QE42A"}));

    // Samples made beforehand: making one is not the writer's work.
    std::vector<ReadoutSample> samples;
    for (int i = 0; i < 6000; ++i) samples.push_back(sampleAt(i, derived));

    // Two seconds give the buffers their room: a second of rows is kept before each write.
    for (int i = 0; i < 2000; ++i) ASSERT_TRUE(writer.append(samples[static_cast<std::size_t>(i)]));
    const long long before = allocations.load();
    for (int i = 2000; i < 6000; ++i)
        ASSERT_TRUE(writer.append(samples[static_cast<std::size_t>(i)]));
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_GT(written, 0u);  // rows went out on the way
    EXPECT_EQ(writer.rowCount(), 6000u);
}

}  // namespace
}  // namespace qe::chip
