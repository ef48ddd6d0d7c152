// LOAD and SAVE through the session: a file taken into the mirror and its eight words written
// to the chip, against refusals, silence and an adapter unplugged on the way; and SAVE, which
// asks the chip nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "link_rig.h"
#include "messages.h"

namespace qe::chip::test {
namespace {

constexpr std::uint8_t kFileAddress = 9;

// Words 48..55 low byte first; word 48 holds the chip's address, or another one.
Bytes fileAt(std::uint8_t address) {
    return {address, 0x01, 0x23, 0x51, 0x42, 0x00, 0xC7, 0x81, 1, 0, 2, 0, 3, 0, 4, 0};
}

std::vector<Bytes> eightWords(std::uint8_t address, std::uint8_t followedTo) {
    const std::uint16_t words[] = {
        static_cast<std::uint16_t>(0x0100 | address), 0x5123, 0x0042, 0x81C7, 1, 2, 3, 4};
    std::vector<Bytes> frames{writeFrame(48, words[0], kChip)};
    for (std::uint8_t i = 1; i < 8; ++i)
        frames.push_back(writeFrame(static_cast<std::uint8_t>(48 + i), words[i], followedTo));
    return frames;
}

std::vector<Bytes> firstFrames(std::vector<Bytes> frames, std::size_t count) {
    frames.resize(count);
    return frames;
}

std::vector<Bytes> withPositions(std::vector<Bytes> frames, std::uint8_t address) {
    frames.push_back(readFrame(32, address));
    frames.push_back(readFrame(33, address));
    return frames;
}

const std::vector<Bytes> kEightTaken(8, kAck);

std::filesystem::path temporaryFile(const char* name, const Bytes& bytes) {
    const auto path = std::filesystem::path(::testing::TempDir()) / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

TEST(SessionLoad, WritesTheEightWordsInOrderAndEndsSilentlyAtTheFirstThatFails) {
    std::vector<Bytes> taken = kEightTaken;
    taken.push_back(wordReply(0x0010));
    taken.push_back(wordReply(0x04D2));
    const struct {
        const char* name;
        std::uint8_t fileAddress;
        std::vector<Bytes> replies;
        int unplugAfter;
        std::vector<Bytes> frames;
        Outcome outcome;
        std::uint8_t addressAfter;
        std::pair<std::uint16_t, std::uint16_t> positions;  // words 32 and 33 afterwards
    } cases[] = {
        {"all eight taken, then the positions read",
         kChip,
         taken,
         -1,
         withPositions(eightWords(kChip, kChip), kChip),
         Outcome::Done,
         kChip,
         {0x0010, 0x04D2}},
        // The chip answers at the address in word 48 from the moment it has it.
        {"another address: followed from word 49 on",
         kFileAddress,
         taken,
         -1,
         withPositions(eightWords(kFileAddress, kFileAddress), kFileAddress),
         Outcome::Done,
         kFileAddress,
         {0x0010, 0x04D2}},
        {"another address refused: the chip stays where it was",
         kFileAddress,
         {kRefused},
         -1,
         firstFrames(eightWords(kFileAddress, kFileAddress), 1),
         Outcome::WriteRefused,
         kChip,
         {kUntouched, kUntouched}},
        {"word 50 refused",
         kChip,
         {kAck, kAck, kRefused},
         -1,
         firstFrames(eightWords(kChip, kChip), 3),
         Outcome::WriteRefused,
         kChip,
         {kUntouched, kUntouched}},
        {"word 52 unanswered",
         kChip,
         {kAck, kAck, kAck, kAck, kSilence},
         -1,
         firstFrames(eightWords(kChip, kChip), 5),
         Outcome::WriteRefused,
         kChip,
         {kUntouched, kUntouched}},
        {"adapter unplugged at word 49",
         kChip,
         {kAck},
         1,
         firstFrames(eightWords(kChip, kChip), 2),
         Outcome::WriteRefused,
         kChip,
         {kUntouched, kUntouched}},
        // The positions only freshen the readout; their reads are not looked at.
        {"positions not reported",
         kChip,
         kEightTaken,
         -1,
         withPositions(eightWords(kChip, kChip), kChip),
         Outcome::Done,
         kChip,
         {kUntouched, kUntouched}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        rig.replies(c.replies);
        rig.unplugAfter(c.unplugAfter);
        const auto path = temporaryFile("session_load_test.qcf", fileAt(c.fileAddress));

        const Result loaded = rig.session.loadFile(path);
        EXPECT_TRUE(loaded.ok());
        EXPECT_TRUE(rig.driver.frames().empty()) << "the file is read before any exchange";
        const Result result = rig.session.writeLoadedWords();

        EXPECT_EQ(rig.driver.frames(), c.frames);
        rig.expectEnded(result, c.outcome, nullptr);
        EXPECT_EQ(rig.session.chipAddress(), c.addressAfter);
        EXPECT_EQ(rig.image[32], c.positions.first);
        EXPECT_EQ(rig.image[33], c.positions.second);
        EXPECT_EQ(rig.image[50], 0x0042) << "the mirror keeps the loaded words";
        std::filesystem::remove(path);
    }
}

// The words the file does not supply go to the chip as the mirror holds them.
TEST(SessionLoad, AShortFileWritesTheMirrorsOtherWordsBack) {
    LinkRig rig;
    for (std::uint8_t reg = 48; reg < 56; ++reg) rig.image[reg] = static_cast<std::uint16_t>(reg);
    rig.image[48] = 0x0105;
    rig.replies(kEightTaken);
    const auto path = temporaryFile("session_short_load_test.qcf", {0x05, 0x01, 0x23, 0x51});

    ASSERT_TRUE(rig.session.loadFile(path).ok());
    EXPECT_TRUE(rig.session.writeLoadedWords().ok());

    std::vector<Bytes> expected{writeFrame(48, 0x0105), writeFrame(49, 0x5123)};
    for (std::uint8_t reg = 50; reg < 56; ++reg) expected.push_back(writeFrame(reg, reg));
    expected = withPositions(expected, kChip);
    EXPECT_EQ(rig.driver.frames(), expected);
    std::filesystem::remove(path);
}

TEST(SessionSave, WritesTheMirrorsWordsAndAsksTheChipNothing) {
    LinkRig rig;
    const std::uint16_t words[] = {0x0205, 0x1800, 0x0005, 0x8047, 0, 0, 0, 0};
    std::copy(std::begin(words), std::end(words), rig.image.begin() + 48);
    const auto path = std::filesystem::path(::testing::TempDir()) / "session_save_test.qcf";

    EXPECT_TRUE(rig.session.saveFile(path).ok());

    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}),
              (Bytes{0x05, 0x02, 0x00, 0x18, 0x05, 0x00, 0x47, 0x80, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(rig.driver.frames().empty());
    EXPECT_TRUE(rig.sink.shown.empty());
    std::filesystem::remove(path);
}

TEST(SessionSave, AFileThatCannotBeMadeShowsTheFileError) {
    LinkRig rig;
    const auto path = std::filesystem::path(::testing::TempDir()) / "no such folder" / "x.qcf";

    const Result result = rig.session.saveFile(path);

    EXPECT_EQ(result.outcome, Outcome::FileFailed);
    EXPECT_EQ(result.reason, messages::kFileNotFound);
    EXPECT_EQ(rig.sink.shown, (std::vector<std::pair<MessageKind, std::string>>{
                                  {MessageKind::Exception, messages::kFileNotFound}}));
    EXPECT_TRUE(rig.driver.frames().empty());
}

}  // namespace
}  // namespace qe::chip::test
