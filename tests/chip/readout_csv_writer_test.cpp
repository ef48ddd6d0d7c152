#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "fake_disk.h"
#include "readout_csv_writer.h"

namespace qe::chip {
namespace {

using test::FakeDisk;

using std::chrono::milliseconds;

constexpr std::int64_t kMs = 1'000'000;

// 2026-12-10T14:56:09.123Z
const WallTime kStart{milliseconds(1'796'914'569'123)};

ReadoutSample sampleAt(std::int64_t steadyNs, WallTime wall,
                       std::array<std::uint16_t, 4> words = {0x0400, 0x0800, 0, 0x8200}) {
    RegisterImage image{};
    std::copy(words.begin(), words.end(), image.begin() + kFirstOutputWord);
    DerivedValues derived;
    updateDerived(derived, Derived::Resolution, 0);
    updateDerived(derived, Derived::TachoRange, 0);
    return makeReadoutSample(image, derived, steadyNs, wall);
}

ReadoutSample sampleAfterMs(std::int64_t ms) {
    return sampleAt(ms * kMs, kStart + milliseconds(ms));
}

const std::string kCommentLine = "# QE7204 readouts; chip address 5; adapter serial QE42A\n";
const std::string kColumnLine =
    "time,elapsed_s,RelPos,counts,degrees,AbsPos,MagnetStatus,Tacho,hz,rpm,AgcGain,agc_percent,"
    "RelPosAlarm,AbsPosAlarm,TachoAlarm,counts_text,degrees_text,counts_of_range_text,"
    "absolute_text,magnet_status_text,tacho_text,agc_text\n";

struct Recording {
    explicit Recording(std::size_t capacity = std::string::npos) {
        auto owned = std::make_unique<FakeDisk>(disk, capacity);
        writer = std::make_unique<ReadoutCsvWriter>(std::move(owned));
    }
    test::DiskState disk;
    std::unique_ptr<ReadoutCsvWriter> writer;
};

TEST(IsoTimeText, UtcWithMillisecondsAlwaysTheSameWidth) {
    const struct {
        std::int64_t msSinceEpoch;
        const char* text;
    } cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {1'796'914'569'123, "2026-12-10T14:56:09.123Z"},
        {1'709'251'199'999, "2024-02-29T23:59:59.999Z"},  // leap day, last millisecond
        {-1, "1969-12-31T23:59:59.999Z"},                 // floors, never rounds to zero
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(isoTimeText(WallTime{milliseconds(c.msSinceEpoch)}), c.text);
    }
    // Sub-millisecond parts are cut, not rounded into the next second.
    EXPECT_EQ(isoTimeText(WallTime{milliseconds(999)} + std::chrono::microseconds(999)),
              "1970-01-01T00:00:00.999Z");
}

TEST(ReadoutCsvWriter, WritesCommentColumnsAndOneRowPerReadoutWithNumbersAndTexts) {
    Recording rec;
    ASSERT_TRUE(rec.writer->start({5, "QE42A"}));
    EXPECT_EQ(rec.disk.contents, kCommentLine + kColumnLine);

    // RelPos 1024 with its alarm, AbsPos 4095, "Magnet too far" (upper status bit also one
    // sixteenth of AGC), Tacho 1023 with its alarm, AgcGain 15; 4096 counts, 2048 Hz.
    ASSERT_TRUE(rec.writer->append(sampleAt(5 * kMs, kStart, {0x8400, 0x0FFF, 0x4000, 0xF7FF})));
    ASSERT_TRUE(rec.writer->append(sampleAt(71 * kMs, kStart + milliseconds(66))));
    ASSERT_TRUE(rec.writer->finish());

    EXPECT_EQ(rec.disk.contents,
              kCommentLine + kColumnLine +
                  "2026-12-10T14:56:09.123Z,0.000000,1024,1024,90,4095,2,1023,2046,122760,15,100,"
                  "1,0,1,1024,90.00\xC2\xB0,1024 /4096,4095,Magnet too far,"
                  "2046.00 Hz / 122760.0 RPM,100.0%\n"
                  "2026-12-10T14:56:09.189Z,0.066000,1024,1024,90,2048,0,512,1024,61440,8,50,"
                  "0,0,0,1024,90.00\xC2\xB0,1024 /4096,2048,Magnet in range,"
                  "1024.00 Hz / 61440.0 RPM,50.0%\n");
    EXPECT_TRUE(rec.disk.closed);
    EXPECT_EQ(rec.writer->rowCount(), 2u);
    EXPECT_EQ(rec.writer->elapsedNs(), 66 * kMs);
}

TEST(ReadoutCsvWriter, RowsReachTheOutputOnceTheOldestIsASecondOld) {
    Recording rec;
    ASSERT_TRUE(rec.writer->start({5, "QE42A"}));
    const std::size_t headerSize = rec.disk.contents.size();

    for (std::int64_t ms = 0; ms < 1000; ms += 66)
        ASSERT_TRUE(rec.writer->append(sampleAfterMs(ms)));
    EXPECT_EQ(rec.disk.contents.size(), headerSize) << "kept until a second has passed";

    ASSERT_TRUE(rec.writer->append(sampleAfterMs(1000)));
    EXPECT_EQ(rec.disk.writes, 2);
    EXPECT_TRUE(
        rec.disk.contents.ends_with("1.000000,1024,1024,90,2048,0,512,1024,61440,8,50,0,0,0,"
                                    "1024,90.00\xC2\xB0,1024 /4096,2048,Magnet in range,"
                                    "1024.00 Hz / 61440.0 RPM,50.0%\n"));

    // Readouts pause: the owner's timer writes the kept row when it is due, not before.
    ASSERT_TRUE(rec.writer->append(sampleAfterMs(1066)));
    const std::size_t afterSecond = rec.disk.contents.size();
    ASSERT_TRUE(rec.writer->flushIfDue(2065 * kMs));
    EXPECT_EQ(rec.disk.contents.size(), afterSecond);
    ASSERT_TRUE(rec.writer->flushIfDue(2066 * kMs));
    EXPECT_GT(rec.disk.contents.size(), afterSecond);
    EXPECT_EQ(rec.writer->rowCount(), 18u);
}

// Every line of a recording is whole: the comment, the columns, rows of 22 fields.
void expectWholeLines(const std::string& csv, std::size_t rows) {
    ASSERT_TRUE(csv.empty() || csv.back() == '\n');
    std::size_t lines = 0;
    for (std::size_t begin = 0; begin < csv.size(); ++lines) {
        const std::size_t end = csv.find('\n', begin);
        const std::string line = csv.substr(begin, end - begin);
        if (lines >= 2) {
            EXPECT_EQ(std::count(line.begin(), line.end(), ','), 21) << line;
        }
        begin = end + 1;
    }
    EXPECT_EQ(lines, rows + 2);
}

TEST(ReadoutCsvWriter, AFullDiskEndsTheRecordingAtTheLastWholeRow) {
    // Room for the header and about a second and a half of rows (a row is about 140 bytes).
    Recording rec(kCommentLine.size() + kColumnLine.size() + 25 * 140);
    ASSERT_TRUE(rec.writer->start({5, "QE42A"}));

    std::int64_t ms = 0;
    while (rec.writer->append(sampleAfterMs(ms))) ms += 66;

    EXPECT_TRUE(rec.writer->failed());
    EXPECT_EQ(rec.writer->error(), "No space left on device");
    EXPECT_TRUE(rec.disk.closed);
    // The first second's 17 rows (0 to 1056 ms) were written whole; the next second's flush
    // did not fit and is gone.
    expectWholeLines(rec.disk.contents, 17);
    EXPECT_EQ(rec.writer->rowCount(), 17u) << "the rows the file holds";
    EXPECT_EQ(ms, 2178) << "failed at the second flush";

    // Once failed it takes nothing more and says so.
    const std::string kept = rec.disk.contents;
    EXPECT_FALSE(rec.writer->append(sampleAfterMs(ms + 66)));
    EXPECT_FALSE(rec.writer->flushIfDue(ms * kMs + 5'000 * kMs));
    EXPECT_FALSE(rec.writer->finish());
    EXPECT_EQ(rec.disk.contents, kept);
}

TEST(ReadoutCsvWriter, ADiskWithNoRoomForTheHeaderFailsAtStartWithAnEmptyFile) {
    Recording rec(10);
    EXPECT_FALSE(rec.writer->start({5, "QE42A"}));
    EXPECT_EQ(rec.writer->error(), "No space left on device");
    EXPECT_EQ(rec.disk.contents, "");
}

TEST(ReadoutCsvWriter, ASerialNumberCannotBreakTheCommentLine) {
    Recording rec;
    ASSERT_TRUE(rec.writer->start({127, "AB\nC\rD"}));
    EXPECT_TRUE(rec.disk.contents.starts_with(
        "# QE7204 readouts; chip address 127; adapter serial AB C D\ntime,"));
}

TEST(ReadoutCsvWriter, FinishingWritesWhatIsKeptEvenWithinTheFirstSecond) {
    Recording rec;
    ASSERT_TRUE(rec.writer->start({5, "QE42A"}));
    ASSERT_TRUE(rec.writer->append(sampleAfterMs(0)));
    rec.writer.reset();  // the destructor finishes too
    expectWholeLines(rec.disk.contents, 1);
    EXPECT_TRUE(rec.disk.closed);
}

// --- the file on disk -------------------------------------------------------------------

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RecordingFile, WritesThroughAndCutsBackToWholeLines) {
    const auto path = std::filesystem::path(testing::TempDir()) / "recording_file_test.csv";
    std::string error;
    auto file = RecordingFile::create(path.string(), error);
    ASSERT_TRUE(file) << error;
    ASSERT_TRUE(file->write("a,b\n"));
    EXPECT_EQ(readFile(path), "a,b\n") << "written through, not held in a buffer";
    ASSERT_TRUE(file->write("c,"));
    ASSERT_TRUE(file->truncate(4));
    ASSERT_TRUE(file->close());
    EXPECT_EQ(readFile(path), "a,b\n");
    std::filesystem::remove(path);
}

TEST(RecordingFile, ReportsWhyItCouldNotBeMadeOrWritten) {
    std::string error;
    EXPECT_FALSE(RecordingFile::create("/nonexistent-folder/x.csv", error));
    EXPECT_EQ(error, "No such file or directory");

    // A FIFO nobody reads is an error at once, not a wait for ever.
    const auto fifo = std::filesystem::path(testing::TempDir()) / "recording_file_test.fifo";
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(RecordingFile::create(fifo.string(), error));
    EXPECT_EQ(error, "No such device or address");
    std::filesystem::remove(fifo);

    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    auto full = RecordingFile::create("/dev/full", error);
    ASSERT_TRUE(full) << error;
    EXPECT_FALSE(full->write("a,b\n"));
    EXPECT_EQ(full->errorText(), "No space left on device");
}

// A script's log may go to a FIFO: its reader is waited for, to come and to take the rows,
// until the script is stopped; what went out then ends on a whole row.
TEST(RecordingFile, WaitsForTheReaderOfAFifoUntilStopped) {
    const auto fifo = std::filesystem::path(testing::TempDir()) / "recording_file_wait.fifo";
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> stop{false};
    std::string error;

    int reader = -1;
    std::thread comes([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ::fcntl(reader, F_SETPIPE_SZ, 4096);
    });
    auto file = RecordingFile::create(fifo.string(), error, &stop);
    comes.join();
    ASSERT_TRUE(file) << error;
    ASSERT_GE(reader, 0);

    const std::string row = std::string(30, 'r') + "\n";
    std::string fits;
    while (fits.size() + row.size() < 3000) fits += row;
    ASSERT_TRUE(file->write(fits));
    stop = true;
    EXPECT_FALSE(file->write(fits)) << "more than the FIFO takes, after the stop";
    EXPECT_EQ(file->errorText(), RecordingFile::kStoppedText);
    std::string received(8192, '\0');
    received.resize(static_cast<std::size_t>(
        std::max<ssize_t>(0, ::read(reader, received.data(), received.size()))));
    EXPECT_EQ(received, fits) << "only whole rows";
    file.reset();
    ::close(reader);

    // Stopped before any reader came.
    EXPECT_FALSE(RecordingFile::create(fifo.string(), error, &stop));
    EXPECT_EQ(error, RecordingFile::kStoppedText);
    std::filesystem::remove(fifo);
}

}  // namespace
}  // namespace qe::chip
