#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

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

// Only regular files are opened: a FIFO would block the window thread for ever (reading
// one waits for a writer, writing one for a reader), and a device is no configuration.
TEST_F(ConfigurationFileTest, AnythingButARegularFileIsAccessDenied) {
    const auto fifo = pathOf("pipe.qcf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    for (const std::filesystem::path& path :
         {fifo, std::filesystem::path("/dev/null"), std::filesystem::path("/dev/full")}) {
        SCOPED_TRACE(path.string());
        if (!std::filesystem::exists(path)) continue;
        RegisterImage image = markedImage();
        EXPECT_EQ(loadConfigurationFile(path, image), FileStatus{FileFault::AccessDenied});
        EXPECT_EQ(image, markedImage());
        EXPECT_EQ(saveConfigurationFile(path, image), FileStatus{FileFault::AccessDenied});
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo)) << "the FIFO is left as it was";
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// SAVE writes a new file and renames it over the old one: a write that fails half-way
// leaves the old file whole, and no temporary file behind.
TEST_F(ConfigurationFileTest, AFailedSaveKeepsTheOldFile) {
    const Bytes old = countingBytes(6);
    const auto path = fileWith(old);
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit limit{}, saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    limit = saved;
    limit.rlim_cur = 8;  // files may not grow past 8 bytes: the 16-byte write fails
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);

    const FileStatus status = saveConfigurationFile(path, imageWithWorkingWords(kWorking));

    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(status, (FileStatus{FileFault::Other, EFBIG}));
    EXPECT_EQ(contentOf(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("chip.qcf")});
}

TEST_F(ConfigurationFileTest, SaveKeepsTheFilesPermissionsAndLinks) {
    const auto path = fileWith(countingBytes(16));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::others_read);
    const auto link = pathOf("link.qcf");
    std::filesystem::create_symlink(path, link);

    ASSERT_EQ(saveConfigurationFile(link, imageWithWorkingWords(kWorking)), FileStatus{});

    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(contentOf(path), kWorkingFile);
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write |
                                                               std::filesystem::perms::others_read);
}

// A file that may not be written is refused as before, although the folder would let it be
// replaced.
TEST_F(ConfigurationFileTest, SaveOverAReadOnlyFileIsAccessDenied) {
    const auto path = fileWith(countingBytes(16));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    if (::access(path.c_str(), W_OK) == 0) GTEST_SKIP() << "this user may write read-only files";
    EXPECT_EQ(saveConfigurationFile(path, imageWithWorkingWords(kWorking)),
              FileStatus{FileFault::AccessDenied});
    EXPECT_EQ(contentOf(path), countingBytes(16));
}

}  // namespace
}  // namespace qe::chip
