#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtGlobal>

#include <fcntl.h>
#include <sys/stat.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ini_store.h"
#include "install_layout.h"

namespace qe {
namespace {

// What the program logs while it lives, one line a message: "warning CATEGORY: TEXT".
class LogCatcher {
public:
    LogCatcher() {
        lines_.clear();
        previous_ = qInstallMessageHandler(&LogCatcher::keep);
    }
    ~LogCatcher() { qInstallMessageHandler(previous_); }
    LogCatcher(const LogCatcher&) = delete;
    LogCatcher& operator=(const LogCatcher&) = delete;
    std::string text() const { return lines_; }

private:
    static void keep(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        lines_ += std::string(type == QtWarningMsg ? "warning " : "other ") + context.category +
                  ": " + message.toStdString() + "\n";
    }
    static inline std::string lines_;
    QtMessageHandler previous_ = nullptr;
};

// An ini file in a fresh folder.
class IniFile {
public:
    IniFile() : path(dir.filePath(QStringLiteral("tool.ini"))), store(path) {
        EXPECT_TRUE(dir.isValid());
    }

    void write(const std::string& contents) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents.data(), static_cast<qint64>(contents.size()));
    }

    std::optional<std::string> contents() const {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        return file.readAll().toStdString();
    }

    QTemporaryDir dir;
    QString path;
    IniStore store;
};

struct Entry {
    QString section;
    QString key;
    QString value;
};

struct WriteCase {
    const char* name;
    std::vector<Entry> writes;
    std::string file;
};

TEST(IniStore, WritesNamesLiterally) {
    const WriteCase cases[] = {
        {"the adapter's entry",
         {{"Port Options", "Last Opened", "A1B2C3"}},
         "[Port Options]\nLast Opened=A1B2C3\n"},
        {"a later write replaces the value",
         {{"Port Options", "Last Opened", "A1"}, {"Port Options", "Last Opened", "B2"}},
         "[Port Options]\nLast Opened=B2\n"},
        {"sections and keys in name order",
         {{"Port Options", "Last Opened", "FT4"},
          {"FT4", "SettingsTop", "12"},
          {"FT4", "Display", "tacho"}},
         "[FT4]\nDisplay=tacho\nSettingsTop=12\n\n[Port Options]\nLast Opened=FT4\n"},
        {"an empty section name", {{"", "DisplayLeft", "100"}}, "[]\nDisplayLeft=100\n"},
        {"slashes and percent signs stay as they are",
         {{"AB/CD%2F", "Display/Mode", "x/y"}},
         "[AB/CD%2F]\nDisplay/Mode=x/y\n"},
        {"line breaks never start a line of their own",
         {{"S", "K", "one\r\n[Evil]\nx=1"}},
         "[S]\nK=one[Evil]x=1\n"},
        {"UTF-8 and an empty value",
         {{"Port Options", "Last Opened", QString::fromUtf8("\xC3\xA9t\xC3\xA9")}, {"S", "E", ""}},
         "[Port Options]\nLast Opened=\xC3\xA9t\xC3\xA9\n\n[S]\nE=\n"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        IniFile ini;
        for (const Entry& e : c.writes)
            EXPECT_TRUE(ini.store.writeString(e.section, e.key, e.value));
        EXPECT_EQ(ini.contents(), c.file);
        // ... and every entry reads back as written, line breaks aside.
        IniStore again(ini.path);
        const Entry& last = c.writes.back();
        EXPECT_EQ(again.readString(last.section, last.key, QStringLiteral("?")),
                  QString(last.value).remove(QLatin1Char('\r')).remove(QLatin1Char('\n')));
    }
}

struct ReadCase {
    const char* name;
    std::string file;
    QString section;
    QString key;
    QString expected;  // "<default>" when the key is not found
};

TEST(IniStore, ReadsFilesWrittenByOtherPrograms) {
    const ReadCase cases[] = {
        {"plain", "[Port Options]\nLast Opened=A1\n", "Port Options", "Last Opened", "A1"},
        {"spaces around the equals sign and CR LF line ends",
         "[Port Options]\r\nLast Opened = A1 \r\n", "Port Options", "Last Opened", "A1"},
        {"comments and blank lines",
         "; tool settings\n\n# more\n[Port Options]\n; Last Opened=OLD\n\nLast Opened=NEW\n",
         "Port Options", "Last Opened", "NEW"},
        {"spaces around the section name and indented lines",
         "  [ Port Options ]\n   Last Opened=A1\n", "Port Options", "Last Opened", "A1"},
        {"a byte order mark", "\xEF\xBB\xBF[Port Options]\nLast Opened=A1\n", "Port Options",
         "Last Opened", "A1"},
        {"the value keeps further equals signs", "[S]\nK=a=b\n", "S", "K", "a=b"},
        {"the same key in another section",
         "[Other]\nLast Opened=X\n[Port Options]\nLast Opened=Y\n", "Port Options", "Last Opened",
         "Y"},
        {"names are matched in their letter case", "[port options]\nlast opened=A1\n",
         "Port Options", "Last Opened", "<default>"},
        {"keys before the first section belong to none", "Last Opened=A1\n[Port Options]\n",
         "Port Options", "Last Opened", "<default>"},
        {"the empty section", "[]\nDisplayLeft=100\n[X]\nDisplayLeft=5\n", "", "DisplayLeft",
         "100"},
        {"a slash in a section name", "[AB/CD]\nDisplay=tacho\n", "AB/CD", "Display", "tacho"},
        {"a line without an equals sign is skipped", "[S]\ngarbage\nK=1\n", "S", "K", "1"},
        {"an empty file", "", "Port Options", "Last Opened", "<default>"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        IniFile ini;
        ini.write(c.file);
        EXPECT_EQ(ini.store.readString(c.section, c.key, QStringLiteral("<default>")), c.expected);
    }
}

TEST(IniStore, MissingFileGivesTheDefaultAndIsNotCreated) {
    IniFile ini;
    EXPECT_EQ(ini.store.readString(QStringLiteral("Port Options"), QStringLiteral("Last Opened")),
              QString());
    EXPECT_EQ(ini.store.readInt(QStringLiteral("S"), QStringLiteral("K"), 42), 42);
    EXPECT_EQ(ini.contents(), std::nullopt);
}

TEST(IniStore, Integers) {
    struct IntCase {
        std::string value;
        int expected;
    };
    const IntCase cases[] = {{"123", 123}, {" -5 ", -5}, {"0", 0},          {"12px", 7},
                             {"", 7},      {"1.5", 7},   {"99999999999", 7}};
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.value);
        IniFile ini;
        ini.write("[Layout]\nTop=" + c.value + "\n");
        EXPECT_EQ(ini.store.readInt(QStringLiteral("Layout"), QStringLiteral("Top"), 7),
                  c.expected);
    }

    IniFile ini;
    EXPECT_TRUE(ini.store.writeInt(QStringLiteral("Layout"), QStringLiteral("Left"), -120));
    EXPECT_EQ(ini.contents(), "[Layout]\nLeft=-120\n");
    EXPECT_EQ(ini.store.readInt(QStringLiteral("Layout"), QStringLiteral("Left"), 0), -120);
}

TEST(IniStore, WritingKeepsTheOtherEntries) {
    IniFile ini;
    ini.write(
        "; by hand\r\n[FT4]\r\nDisplayLeft = 100\r\n\r\n[Port Options]\r\nLast Opened=OLD\r\n");
    EXPECT_TRUE(ini.store.writeString(QStringLiteral("Port Options"), QStringLiteral("Last Opened"),
                                      QStringLiteral("NEW")));
    EXPECT_EQ(ini.contents(), "[FT4]\nDisplayLeft=100\n\n[Port Options]\nLast Opened=NEW\n");
}

TEST(IniStore, WriteIntoAMissingFolderCreatesIt) {
    QTemporaryDir dir;
    IniStore store(dir.filePath(QStringLiteral("config/qe7204-tool/tool.ini")));
    EXPECT_TRUE(store.writeString(QStringLiteral("Port Options"), QStringLiteral("Last Opened"),
                                  QStringLiteral("A1")));
    EXPECT_EQ(store.readString(QStringLiteral("Port Options"), QStringLiteral("Last Opened")),
              QStringLiteral("A1"));
}

TEST(IniStore, WriteThatCannotHappenIsReported) {
    QTemporaryDir dir;
    // A file standing where the folder would have to be.
    QFile blocker(dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    IniStore store(dir.filePath(QStringLiteral("blocked/tool.ini")));
    EXPECT_FALSE(store.writeString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("V")));
}

// --- files that are not used -------------------------------------------------------------

const QString kSection = QStringLiteral("Port Options");
const QString kKey = QStringLiteral("Last Opened");

// A FIFO, a folder or a file above 1 MiB in place of the ini file reads as empty, is never
// written, and is told once on stderr however often it is read. Opening a FIFO would block.
TEST(IniStore, AnythingButASmallRegularFileGivesTheDefaultsAndIsToldOnce) {
    const std::string entry = "[Port Options]\nLast Opened=A1\n";
    const struct {
        const char* name;
        std::function<void(IniFile&)> make;
        const char* told;  // empty: the file is used
    } cases[] = {
        {"a FIFO",
         [](IniFile& ini) {
             ASSERT_EQ(::mkfifo(QFile::encodeName(ini.path).constData(), 0644), 0);
         },
         "not a regular file"},
        {"a folder", [](IniFile& ini) { ASSERT_TRUE(QDir().mkdir(ini.path)); },
         "not a regular file"},
        {"one byte above 1 MiB",
         [&](IniFile& ini) { ini.write(entry + std::string(1024 * 1024 + 1 - entry.size(), ';')); },
         "larger than 1 MiB"},
        {"exactly 1 MiB",
         [&](IniFile& ini) { ini.write(entry + std::string(1024 * 1024 - entry.size(), ';')); },
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        IniFile ini;
        c.make(ini);
        const bool used = std::string(c.told).empty();

        const LogCatcher log;
        for (int tick = 0; tick < 3; ++tick)
            EXPECT_EQ(ini.store.readString(kSection, kKey, QStringLiteral("<default>")),
                      used ? QStringLiteral("A1") : QStringLiteral("<default>"));
        EXPECT_EQ(ini.store.writeString(kSection, kKey, QStringLiteral("B2")), used);
        const std::string told = log.text();

        if (used) {
            EXPECT_EQ(told, "");
            continue;
        }
        EXPECT_EQ(told, "warning qe7204.settings: " + ini.path.toStdString() + ": " + c.told +
                            "; the default settings are used\n");
        const QFileInfo after(ini.path);
        EXPECT_FALSE(after.isFile() && after.size() < 1024 * 1024) << "left as it was";
    }
}

// The file is parsed once and again only when it changes on disk: a change that keeps its
// size and time stamp goes unseen, any other is seen at the next read.
TEST(IniStore, ReadsTheFileAgainOnlyWhenItHasChanged) {
    IniFile ini;
    ini.write("[Port Options]\nLast Opened=A1\n");
    EXPECT_EQ(ini.store.readString(kSection, kKey), QStringLiteral("A1"));
    const QByteArray path = QFile::encodeName(ini.path);
    struct stat before {};
    ASSERT_EQ(::stat(path.constData(), &before), 0);

    // The same size, and the time stamp put back: to the store the file has not changed.
    QFile file(ini.path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(27));
    file.write("B");
    file.close();
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    EXPECT_EQ(ini.store.readString(kSection, kKey), QStringLiteral("A1")) << "not parsed again";

    const timespec later[2] = {before.st_atim, {before.st_mtim.tv_sec + 1, before.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), later, 0), 0);
    EXPECT_EQ(ini.store.readString(kSection, kKey), QStringLiteral("B1"));

    ini.write("[Port Options]\nLast Opened=C333\n");
    EXPECT_EQ(ini.store.readString(kSection, kKey), QStringLiteral("C333"));
    ASSERT_TRUE(QFile::remove(ini.path));
    EXPECT_EQ(ini.store.readString(kSection, kKey), QString());
}

// --- where the file lives ----------------------------------------------------------------------

TEST(IniFilePath, BesideTheExecutableWithTheExtensionReplaced) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("bin.d")));
    // An installation, moved under a folder the user may write.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("opt/bin")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("opt/share/qe7204-tool")));
    const QString fallback = QStringLiteral("/home/user/.config/qe7204-tool");
    struct PathCase {
        QString executable;
        QString ini;
    };
    const PathCase cases[] = {
        {dir.filePath("qe7204-tool"), dir.filePath("qe7204-tool.ini")},
        {dir.filePath("qe7204-tool.exe"), dir.filePath("qe7204-tool.ini")},
        {dir.filePath("tool.v2.exe"), dir.filePath("tool.v2.ini")},
        {dir.filePath("bin.d/qe7204-tool"), dir.filePath("bin.d/qe7204-tool.ini")},
        // A folder that cannot be written: the user's configuration folder instead.
        {dir.filePath("missing/qe7204-tool"), fallback + "/qe7204-tool.ini"},
        {QStringLiteral("/nonexistent-qe7204/bin/qe7204-tool.exe"), fallback + "/qe7204-tool.ini"},
        // An installed program keeps its settings with the user even where it could write.
        {dir.filePath("opt/bin/qe7204-tool"), fallback + "/qe7204-tool.ini"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.executable.toStdString());
        EXPECT_EQ(iniFilePathFor(c.executable, fallback), c.ini);
    }
}

TEST(InstallLayout, DataAndDocumentationBesideTheProgramsFolder) {
    EXPECT_EQ(installedDataFolder(QStringLiteral("/usr/bin")), "/usr/share/qe7204-tool");
    EXPECT_EQ(installedDocFolder(QStringLiteral("/usr/bin")), "/usr/share/doc/qe7204-tool");
    EXPECT_EQ(installedDataFolder(QStringLiteral("/tmp/root/opt/x/bin/")),
              "/tmp/root/opt/x/share/qe7204-tool");

    QTemporaryDir prefix;
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    const QString programFolder = prefix.filePath(QStringLiteral("bin"));
    EXPECT_FALSE(isInstalledProgramFolder(programFolder));  // a build folder
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("share/qe7204-tool")));
    EXPECT_TRUE(isInstalledProgramFolder(programFolder));
    EXPECT_FALSE(isInstalledProgramFolder(QString()));
}

TEST(IniFilePath, DefaultIsAnIniFileNamedAfterTheProgram) {
    const QString path = defaultIniFilePath();
    EXPECT_TRUE(path.endsWith(QStringLiteral("/connection_tests.ini"))) << path.toStdString();
}

}  // namespace
}  // namespace qe
