#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "main_window_fixture.h"
#include "prog_comparison_window.h"

namespace qe::ui {
namespace {

class ProgComparisonTest : public ::testing::Test {
protected:
    ProgComparisonTest() {
        const std::uint16_t stored[8] = {0x0205, 0x1800, 0x0005, 0x8047, 0, 0, 0, 0};
        for (int i = 0; i < 8; ++i) mirror[i] = mirror[48 + i] = stored[i];
        view.setFileChooser([this] { return chosen; });
    }

    QString summary() { return view.findChild<QLabel*>("ComparisonSummary")->text(); }
    // The marked rows, as "field: left | right".
    std::vector<std::string> marked() {
        auto* table = view.findChild<QTableWidget*>("ComparisonTable");
        std::vector<std::string> rows;
        for (int r = 0; r < table->rowCount(); ++r)
            if (table->item(r, 0)->font().bold())
                rows.push_back((table->item(r, 0)->text() + ": " + table->item(r, 1)->text() +
                                " | " + table->item(r, 2)->text())
                                   .toStdString());
        return rows;
    }
    QString writeFile(const QByteArray& bytes) {
        const QString path = dir.filePath(QStringLiteral("settings.qcf"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    RegisterImage mirror{};
    int reads = 0;
    bool readSucceeds = true;
    QTemporaryDir dir;
    QString chosen;
    ProgComparisonWindow view{mirror, [this] {
                                  ++reads;
                                  return readSucceeds;
                              }};
};

TEST_F(ProgComparisonTest, FollowsTheMirrorAndMarksWhatPROGWouldStore) {
    EXPECT_EQ(summary(), "PROG would change nothing.");
    EXPECT_TRUE(marked().empty());
    EXPECT_EQ(view.findChild<QTableWidget*>("ComparisonTable")->rowCount(), 18);

    // A setting change: the working word was read back into the mirror.
    mirror[49] = 0x1C00;
    mirror[51] = 0x8007;
    view.follow();
    EXPECT_EQ(summary(), "PROG would change 2 settings (marked).");
    EXPECT_EQ(marked(), (std::vector<std::string>{"Zin: 2048 | 3072", "Sth: 1024 | 2048"}));
    EXPECT_EQ(reads, 0) << "following reads nothing from the chip";

    // PROG or READ: both sides agree again.
    mirror[1] = 0x1C00;
    mirror[3] = 0x8007;
    view.follow();
    EXPECT_EQ(summary(), "PROG would change nothing.");
}

TEST_F(ProgComparisonTest, WarnsWhenTheWordsPROGDoesNotWriteDiffer) {
    mirror[53] = 0x0001;
    view.follow();
    EXPECT_EQ(summary(),
              "PROG would change nothing.\nWorking words 52 to 55 differ from EEPROM words 4 to "
              "7, which PROG does not write: it would end with \"The data was not correctly "
              "written to the EEPROM\".");
}

TEST_F(ProgComparisonTest, CompareReadsTheStoredWordsAndSaysWhenItCannot) {
    view.findChild<QPushButton*>("BtnCompare")->click();
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(summary(), "PROG would change nothing.");
    readSucceeds = false;
    view.findChild<QPushButton*>("BtnCompare")->click();
    EXPECT_EQ(summary(), "The reading was unsuccessful.\nPROG would change nothing.");
}

TEST_F(ProgComparisonTest, AFileIsComparedWithTheChipAsLOADWouldWriteIt) {
    const struct {
        QByteArray bytes;
        std::vector<std::string> marked;
        QString summary;
    } cases[] = {
        {QByteArray::fromHex("05020018050047800000000000000000"), {}, "LOAD would change nothing."},
        {QByteArray::fromHex("0902001805004780"),  // short: words 52..55 stay as they are
         {"ADDR: 5 | 9"},
         "LOAD would change 1 setting (marked)."},
        {QByteArray::fromHex("050200180500478001"),
         {},
         "LOAD would change nothing.\nThe file ends in the middle of a word: LOAD would stop "
         "with \"Read beyond end of file\" and write nothing to the chip."},
        {QByteArray::fromHex("05020018050047800000AA0000000000"),
         {},
         "LOAD would change nothing.\nIts words 52 to 55 differ from the chip's as well."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        chosen = writeFile(c.bytes);
        view.findChild<QPushButton*>("BtnCompareFile")->click();
        EXPECT_EQ(marked(), c.marked);
        EXPECT_EQ(summary(), c.summary);
    }
    // While a file is shown the mirror's changes do not replace it; back to PROG they do.
    mirror[49] = 0x1000;
    view.follow();
    EXPECT_TRUE(summary().startsWith("LOAD"));
    view.findChild<QPushButton*>("BtnBackToProg")->click();
    EXPECT_EQ(summary(), "PROG would change 1 setting (marked).");
    EXPECT_EQ(reads, 0);
}

TEST_F(ProgComparisonTest, AnUnreadableFileIsSaid) {
    // A FIFO with no writer is said at once, not waited on.
    ASSERT_EQ(
        ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.qcf"))).constData(), 0600), 0);
    for (const char* name : {"missing.qcf", "pipe.qcf"}) {
        chosen = dir.filePath(QString::fromLatin1(name));
        view.findChild<QPushButton*>("BtnCompareFile")->click();
        EXPECT_EQ(summary(), chosen + " cannot be read.");
    }
}

// On the chip: "Compare" reads EEPROM words 0..3 and nothing else; following costs nothing.
class StoredSettingsReadTest : public test::MainWindowTest {};

TEST_F(StoredSettingsReadTest, ReadsTheFourStoredWordsOnly) {
    startSimulated();
    tickWithScan();
    newFrames();
    ProgComparisonWindow view(image(), [this] { return window->readStoredSettings(); });
    view.show();
    view.follow();
    EXPECT_TRUE(newFrames().empty());

    view.findChild<QPushButton*>("BtnCompare")->click();
    EXPECT_EQ(newFrames(), (std::vector<std::string>{"R 0 0", "R 0 1", "R 0 2", "R 0 3"}));
    EXPECT_EQ(view.findChild<QLabel*>("ComparisonSummary")->text(), "PROG would change nothing.");

    window->PollBusy = true;  // a tick that waits in a box further down
    EXPECT_FALSE(window->readStoredSettings());
    EXPECT_TRUE(newFrames().empty());
}

}  // namespace
}  // namespace qe::ui
