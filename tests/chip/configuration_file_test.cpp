#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "configuration_file.h"

namespace qe::chip {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kWorking[8] = {0x0205, 0x1800, 0x0005, 0x8047, 0, 0, 0, 0};
const Bytes kWorkingFile = {0x05, 0x02, 0x00, 0x18, 0x05, 0x00, 0x47, 0x80,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

RegisterImage imageWithWorkingWords(const std::uint16_t (&words)[8]) {
    RegisterImage image{};
    for (std::size_t i = 0; i < 8; ++i) image[48 + i] = words[i];
    return image;
}

// Every word of the image set to a value that shows where it came from.
RegisterImage markedImage() {
    RegisterImage image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint16_t>(0xA000 + i);
    return image;
}

Bytes countingBytes(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(0x11 * (i % 15 + 1));
    return bytes;
}

// --- format -----------------------------------------------------------------------------

TEST(ConfigurationFormat, EncodesWordsFortyEightToFiftyFiveLowByteFirst) {
    const ConfigurationBytes bytes = encodeConfiguration(imageWithWorkingWords(kWorking));
    EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), kWorkingFile);

    RegisterImage image = markedImage();  // words outside 48..55 never reach the file
    image[48] = 0xFFFF;
    image[55] = 0x8001;
    const ConfigurationBytes marked = encodeConfiguration(image);
    EXPECT_EQ(marked[0], 0xFF);
    EXPECT_EQ(marked[1], 0xFF);
    EXPECT_EQ(marked[2], 0x31);  // 0xA031, word 49
    EXPECT_EQ(marked[3], 0xA0);
    EXPECT_EQ(marked[14], 0x01);
    EXPECT_EQ(marked[15], 0x80);
}

struct DecodeCase {
    const char* name;
    std::size_t length;
    std::size_t wordsTaken;
    bool readBeyondEnd;
};

void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.name;
}

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, TakesWholeWordsInOrderAndKeepsTheRest) {
    const DecodeCase& c = GetParam();
    const Bytes bytes = countingBytes(c.length);
    RegisterImage image = markedImage();
    const RegisterImage before = image;

    const DecodedConfiguration decoded = decodeConfiguration(bytes, image);

    EXPECT_EQ(decoded.wordsTaken, c.wordsTaken);
    EXPECT_EQ(decoded.readBeyondEnd, c.readBeyondEnd);
    for (std::size_t reg = 0; reg < image.size(); ++reg) {
        const std::size_t word = reg - 48;
        const bool taken = reg >= 48 && word < c.wordsTaken;
        const std::uint16_t expected =
            taken ? static_cast<std::uint16_t>(bytes[2 * word] | bytes[2 * word + 1] << 8)
                  : before[reg];
        EXPECT_EQ(image[reg], expected) << "register " << reg;
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, DecodeTest,
                         ::testing::Values(DecodeCase{"Empty", 0, 0, false},
                                           DecodeCase{"OneByte", 1, 0, true},
                                           DecodeCase{"TwoWords", 4, 2, false},
                                           DecodeCase{"SevenWordsAndAByte", 15, 7, true},
                                           DecodeCase{"Exact", 16, 8, false},
                                           DecodeCase{"OneByteTooMany", 17, 8, false},
                                           DecodeCase{"Long", 40, 8, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigurationFormat, DecodingTheEncodedWordsGivesThemBack) {
    const RegisterImage saved =
        imageWithWorkingWords({0xFFFF, 0x5A5A, 0x0080, 0x8000, 1, 0x0100, 0x7FFF, 0xA5A5});
    const ConfigurationBytes bytes = encodeConfiguration(saved);
    RegisterImage loaded{};
    EXPECT_EQ(decodeConfiguration(bytes, loaded).wordsTaken, 8u);
    EXPECT_EQ(loaded, saved);
}

// --- files ------------------------------------------------------------------------------

class ConfigurationFileTest : public ::testing::Test {
protected:
    std::filesystem::path pathOf(const char* name) const {
        return dir.filePath(name).toStdString();
    }

    std::filesystem::path fileWith(const Bytes& bytes, const char* name = "chip.qcf") const {
        const auto path = pathOf(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static Bytes contentOf(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    QTemporaryDir dir;
};

TEST_F(ConfigurationFileTest, SavesExactlySixteenBytesOverAnyEarlierContent) {
    const auto path = fileWith(countingBytes(40));

    EXPECT_EQ(saveConfigurationFile(path, imageWithWorkingWords(kWorking)), FileStatus{});

    EXPECT_EQ(contentOf(path), kWorkingFile);
}

TEST_F(ConfigurationFileTest, LoadsWhatWasSaved) {
    const RegisterImage saved = imageWithWorkingWords({0x0205, 0x54D2, 0x007F, 0xE1C7, 1, 2, 3, 4});
    ASSERT_EQ(saveConfigurationFile(pathOf("round.qcf"), saved), FileStatus{});
    RegisterImage loaded{};

    EXPECT_EQ(loadConfigurationFile(pathOf("round.qcf"), loaded), FileStatus{});

    EXPECT_EQ(loaded, saved);
}

TEST_F(ConfigurationFileTest, LoadOfAnOddLengthTakesTheWholeWordsAndReportsReadingBeyondTheEnd) {
    RegisterImage image = markedImage();
    const auto path = fileWith(Bytes(kWorkingFile.begin(), kWorkingFile.begin() + 3));

    EXPECT_EQ(loadConfigurationFile(path, image), FileStatus{FileFault::ReadBeyondEnd});

    EXPECT_EQ(image[48], 0x0205);
    EXPECT_EQ(image[49], 0xA031);
}

TEST_F(ConfigurationFileTest, LoadOfAMissingFileChangesNothing) {
    RegisterImage image = markedImage();
    EXPECT_EQ(loadConfigurationFile(pathOf("missing.qcf"), image), FileStatus{FileFault::NotFound});
    EXPECT_EQ(image, markedImage());
}

TEST_F(ConfigurationFileTest, LoadOfAFolderReportsTheSystemsErrorNumber) {
    RegisterImage image = markedImage();
    const FileStatus status = loadConfigurationFile(dir.path().toStdString(), image);
    EXPECT_EQ(status, (FileStatus{FileFault::Other, EISDIR}));
    EXPECT_EQ(fileStatusText(status), "I/O error " + std::to_string(EISDIR));
}

TEST_F(ConfigurationFileTest, SaveIntoAMissingFolderFails) {
    EXPECT_EQ(saveConfigurationFile(pathOf("no/such/folder.qcf"), RegisterImage{}),
              FileStatus{FileFault::NotFound});
}

TEST_F(ConfigurationFileTest, SaveOnAFullMediumReportsDiskFull) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no full device on this system";
    EXPECT_EQ(saveConfigurationFile("/dev/full", imageWithWorkingWords(kWorking)),
              FileStatus{FileFault::DiskFull});
}

}  // namespace
}  // namespace qe::chip
