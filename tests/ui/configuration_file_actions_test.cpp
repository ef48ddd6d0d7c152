// SAVE and LOAD: the file's bytes, what reaches the chip in which order, and file errors.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "chip_actions_fixture.h"
#include "file_chooser.h"
#include "file_status.h"

namespace qe::ui::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Frames = std::vector<std::string>;

// Answers with the path the test sets, or cancels.
class FakeFileChooser final : public FileChooser {
public:
    std::optional<QString> chooseSaveFile() override {
        ++saveAsked;
        return path;
    }
    std::optional<QString> chooseOpenFile() override {
        ++openAsked;
        return path;
    }

    std::optional<QString> path;
    int saveAsked = 0;
    int openAsked = 0;
};

// 0205h, 1800h, 0005h, 8047h, 0, 0, 0, 0 low byte first.
const Bytes kExampleFile = {0x05, 0x02, 0x00, 0x18, 0x05, 0x00, 0x47, 0x80,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

class ConfigurationFileActionsTest : public ChipActionsTest {
protected:
    void SetUp() override {
        ChipActionsTest::SetUp();
        window->setFileChooser(&chooser);
    }
    void TearDown() override { window->setFileChooser(nullptr); }

    QString pathOf(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QString fileWith(const Bytes& bytes) {
        const QString path = pathOf("chosen.qcf");
        std::ofstream(path.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static Bytes contentOf(const QString& path) {
        std::ifstream in(path.toStdString(), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    void load(const QString& path) {
        chooser.path = path;
        find<QPushButton>("BtnLoad")->click();
    }

    std::vector<std::uint16_t> workingWords() {
        std::vector<std::uint16_t> words;
        for (std::uint8_t reg = 48; reg < 56; ++reg) words.push_back(chip().workingWord(reg));
        return words;
    }
    std::vector<std::uint16_t> mirrorWords() { return {image().begin() + 48, image().end()}; }

    FakeFileChooser chooser;
    QTemporaryDir dir;
};

// --- SAVE ---------------------------------------------------------------------------------

TEST_F(ConfigurationFileActionsTest,
       SaveWritesTheMirrorsWorkingWordsLowByteFirstWithoutAskingTheChip) {
    const std::uint16_t words[] = {0x0205, 0x1800, 0x0005, 0x8047, 0, 0, 0, 0};
    std::copy(std::begin(words), std::end(words), image().begin() + 48);
    chooser.path = pathOf("saved.qcf");
    window->PollBusy = true;  // SAVE does not wait for the poll cycle

    find<QPushButton>("BtnSave")->click();

    EXPECT_EQ(contentOf(pathOf("saved.qcf")), kExampleFile);
    EXPECT_EQ(chooser.saveAsked, 1);
    EXPECT_TRUE(newFrames().empty());
    EXPECT_TRUE(sink.shown.empty());
    window->PollBusy = false;
}

TEST_F(ConfigurationFileActionsTest, CancelledDialogsDoNothing) {
    chooser.path.reset();

    window->BtnSaveClick();
    window->BtnLoadClick();

    EXPECT_EQ(chooser.saveAsked, 1);
    EXPECT_EQ(chooser.openAsked, 1);
    EXPECT_TRUE(newFrames().empty());
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ConfigurationFileActionsTest, FileErrorsAreShownAsTheFailedOperationsMessage) {
    const struct {
        const char* name;
        void (MainWindow::*action)();
        QString path;
        std::string message;
    } cases[] = {
        {"save into a missing folder", &MainWindow::BtnSaveClick, pathOf("no/such.qcf"),
         "File not found"},
        {"load of a missing file", &MainWindow::BtnLoadClick, pathOf("missing.qcf"),
         "File not found"},
        {"load of a folder", &MainWindow::BtnLoadClick, dir.path(),
         "I/O error " + std::to_string(EISDIR)},
        // Only regular files are opened: a device or a FIFO is refused, never waited on.
        {"save onto a device", &MainWindow::BtnSaveClick, "/dev/full", "File access denied"},
        {"load of a device", &MainWindow::BtnLoadClick, "/dev/zero", "File access denied"},
        {"save onto a FIFO", &MainWindow::BtnSaveClick, pathOf("pipe.qcf"), "File access denied"},
        {"load of a FIFO", &MainWindow::BtnLoadClick, pathOf("pipe.qcf"), "File access denied"},
    };
    ASSERT_EQ(::mkfifo(QFile::encodeName(pathOf("pipe.qcf")).constData(), 0666), 0);
    const RegisterImage before = image();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.path.startsWith("/dev/") && !std::filesystem::exists(c.path.toStdString())) continue;
        chooser.path = c.path;

        (window.get()->*c.action)();

        EXPECT_EQ(sink.shown, (std::vector<std::pair<MessageKind, std::string>>{
                                  {MessageKind::Exception, c.message}}));
        EXPECT_TRUE(newFrames().empty());
        EXPECT_EQ(image(), before);
        sink.clear();
    }
}

// --- LOAD ---------------------------------------------------------------------------------

// LOAD opens its file for writing too, so a file that may not be written is refused before
// anything of it is used.
class LoadRefusedTest : public ConfigurationFileActionsTest {
protected:
    void expectLoadRefused(const QString& path, const std::string& message) {
        const RegisterImage before = image();

        load(path);

        EXPECT_EQ(
            sink.shown,
            (std::vector<std::pair<MessageKind, std::string>>{{MessageKind::Exception, message}}));
        EXPECT_TRUE(newFrames().empty());
        EXPECT_EQ(image(), before);
    }
};

TEST_F(LoadRefusedTest, AReadOnlyFileIsAccessDenied) {
    const QString path = fileWith(kExampleFile);
    ASSERT_TRUE(QFile::setPermissions(
        path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    if (QFile(path).open(QIODevice::ReadWrite))
        GTEST_SKIP() << "this user may write read-only files";
    expectLoadRefused(path, "File access denied");
}

// This program, while it runs, can be read but not opened for writing, not even by root
// (who may write a read-only file). The load shows what the system says to that.
TEST_F(LoadRefusedTest, TheRunningProgramIsNotLoaded) {
    const QString path = QCoreApplication::applicationFilePath();
    ASSERT_TRUE(QFile(path).open(QIODevice::ReadOnly));
    errno = 0;
    if (std::FILE* writable = std::fopen(QFile::encodeName(path).constData(), "r+b")) {
        std::fclose(writable);
        GTEST_SKIP() << "this system lets a running program be written";
    }
    expectLoadRefused(path, chip::fileStatusText(chip::fileStatusForError(errno)));
}

TEST_F(ConfigurationFileActionsTest, LoadFillsThePanelWritesAllEightWordsThenReadsThePositions) {
    load(fileWith({0x00, 0x02, 0x23, 0x51, 0x05, 0x00, 0x47, 0x80, 1, 0, 2, 0, 3, 0, 4, 0}));

    EXPECT_EQ(newFrames(), (Frames{"W 0 48 0x0200", "W 0 49 0x5123", "W 0 50 0x0005",
                                   "W 0 51 0x8047", "W 0 52 0x0001", "W 0 53 0x0002",
                                   "W 0 54 0x0003", "W 0 55 0x0004", "R 0 32", "R 0 33"}));
    EXPECT_EQ(workingWords(),
              (std::vector<std::uint16_t>{0x0200, 0x5123, 0x0005, 0x8047, 1, 2, 3, 4}));
    EXPECT_EQ(find<QLineEdit>("EdPosZ")->text(), "291");
    EXPECT_EQ(group("RgPdee")->itemIndex(), 1);
    EXPECT_EQ(group("RgDACT")->itemIndex(), 1);
    EXPECT_TRUE(sink.shown.empty());
}

// The chip answers at the address in word 48 as soon as it has it; the load follows it, so
// the other seven words reach the chip too.
TEST_F(ConfigurationFileActionsTest, LoadOfAnotherAddressFollowsTheChipThere) {
    load(fileWith(kExampleFile));

    EXPECT_EQ(newFrames(), (Frames{"W 0 48 0x0205", "W 5 49 0x1800", "W 5 50 0x0005",
                                   "W 5 51 0x8047", "W 5 52 0x0000", "W 5 53 0x0000",
                                   "W 5 54 0x0000", "W 5 55 0x0000", "R 5 32", "R 5 33"}));
    EXPECT_EQ(device->chipAddress(), 5);
    EXPECT_EQ(chip().address(), 5);
    EXPECT_EQ(workingWords(),
              (std::vector<std::uint16_t>{0x0205, 0x1800, 0x0005, 0x8047, 0, 0, 0, 0}));
    EXPECT_EQ(find<QLineEdit>("EdNaslovCipa")->text(), "5");
    EXPECT_TRUE(sink.shown.empty());
}

// The chip keeps its address when it refuses word 48, so the load does not follow it.
TEST_F(ConfigurationFileActionsTest, LoadOfAnotherAddressWhoseWordIsRefusedStaysAtTheOldAddress) {
    adapter().refuseWritesTo(48);

    load(fileWith(kExampleFile));

    EXPECT_EQ(newFrames(), (Frames{"W 0 48 0x0205"}));
    EXPECT_EQ(device->chipAddress(), 0);
    EXPECT_EQ(chip().address(), 0);
    EXPECT_TRUE(sink.shown.empty());
}

struct LengthCase {
    const char* name;
    std::size_t length;                 // of a 20-byte pattern's start
    std::vector<std::uint16_t> mirror;  // 48..55 afterwards
    bool written;
    const char* message;
};

void PrintTo(const LengthCase& c, std::ostream* out) {
    *out << c.name;
}

class LoadLengthTest : public ConfigurationFileActionsTest,
                       public ::testing::WithParamInterface<LengthCase> {};

// The chip starts with 0100h, 0, 0001h, 01C0h, 0, 0, 0, 0; the file's words read 1111h, 2222h, ...
TEST_P(LoadLengthTest, ShortFilesKeepTheRestOfTheMirrorAndOddOnesWriteNothing) {
    const LengthCase& c = GetParam();
    Bytes pattern;
    for (std::uint8_t i = 1; i <= 10; ++i)
        pattern.insert(pattern.end(), {static_cast<std::uint8_t>(0x11 * i), 0x00});
    pattern[0] = 0x00;  // word 48 keeps address 0 and bit 8
    pattern[1] = 0x01;
    const auto before = workingWords();

    load(fileWith(Bytes(pattern.begin(), pattern.begin() + static_cast<std::ptrdiff_t>(c.length))));

    EXPECT_EQ(mirrorWords(), c.mirror);
    const Frames frames = newFrames();
    if (c.written) {
        ASSERT_EQ(frames.size(), 10u);
        EXPECT_EQ(frames.back(), "R 0 33");
        EXPECT_EQ(workingWords(), c.mirror);
        EXPECT_TRUE(sink.shown.empty());
    } else {
        EXPECT_TRUE(frames.empty());
        EXPECT_EQ(workingWords(), before);
        EXPECT_EQ(sink.shown, (std::vector<std::pair<MessageKind, std::string>>{
                                  {MessageKind::Exception, c.message}}));
        EXPECT_EQ(find<QLineEdit>("EdPosZ")->text(), "0") << "the panel is not refilled";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, LoadLengthTest,
    ::testing::Values(
        LengthCase{
            "EmptyWritesTheMirrorBack", 0, {0x0100, 0, 0x0001, 0x01C0, 0, 0, 0, 0}, true, nullptr},
        LengthCase{"FourBytes", 4, {0x0100, 0x0022, 0x0001, 0x01C0, 0, 0, 0, 0}, true, nullptr},
        // A refused file leaves the mirror as it was, so that no later PROG stores its words.
        LengthCase{"FifteenBytes",
                   15,
                   {0x0100, 0, 0x0001, 0x01C0, 0, 0, 0, 0},
                   false,
                   "Read beyond end of file"},
        LengthCase{"SeventeenBytesOnlySixteenRead",
                   17,
                   {0x0100, 0x0022, 0x0033, 0x0044, 0x0055, 0x0066, 0x0077, 0x0088},
                   true,
                   nullptr},
        LengthCase{"TwentyBytes",
                   20,
                   {0x0100, 0x0022, 0x0033, 0x0044, 0x0055, 0x0066, 0x0077, 0x0088},
                   true,
                   nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigurationFileActionsTest, TheFirstRefusedWriteEndsTheLoadSilently) {
    adapter().refuseWritesTo(50);

    load(fileWith({0x00, 0x01, 0x34, 0x12, 0x05, 0x00, 0x47, 0x80, 9, 0, 9, 0, 9, 0, 9, 0}));

    EXPECT_EQ(newFrames(), (Frames{"W 0 48 0x0100", "W 0 49 0x1234", "W 0 50 0x0005"}));
    EXPECT_EQ(workingWords(),
              (std::vector<std::uint16_t>{0x0100, 0x1234, 0x0001, 0x01C0, 0, 0, 0, 0}));
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(find<QLineEdit>("EdPosZ")->text(), "564") << "the panel shows the loaded words";
}

TEST_F(ConfigurationFileActionsTest, LoadDoesNotWaitForThePollCycle) {
    window->PollBusy = true;

    load(fileWith(kExampleFile));

    EXPECT_EQ(newFrames().size(), 10u);
    window->PollBusy = false;
}

}  // namespace
}  // namespace qe::ui::test
