#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <iterator>

#include "clock.h"
#include "recording_control.h"
#include "recording_sink.h"

namespace qe::ui {
namespace {

constexpr std::int64_t kMs = 1'000'000;

class RecordingControlTest : public ::testing::Test {
protected:
    RecordingControlTest() {
        control.setFileChooser([this] { return chosen; });
    }

    void feed(std::int64_t ms) {
        clock.setNs(ms * kMs);
        RegisterImage image{};
        image[33] = static_cast<std::uint16_t>(ms);
        stream.publish(chip::makeReadoutSample(image, chip::DerivedValues{}, ms * kMs,
                                               chip::WallTime{std::chrono::milliseconds(ms)}));
    }

    std::string file() const {
        std::ifstream in(chosen.toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static long lines(const std::string& text) {
        return std::count(text.begin(), text.end(), '\n');
    }

    QTemporaryDir dir;
    QString chosen = dir.filePath(QStringLiteral("run.csv"));
    chip::ReadoutStream stream;
    ManualClock clock;
    qe::test::RecordingSink messages;
    QPushButton button;
    RecordingControl control{&button, stream, clock,
                             [] {
                                 return chip::RecordingSource{5, "QE000001"};
                             },
                             messages};
};

TEST_F(RecordingControlTest, TheButtonStartsShowsTimeAndCountAndStops) {
    EXPECT_EQ(button.text(), QStringLiteral("Record CSV\u2026"));
    button.click();
    ASSERT_TRUE(control.recording());
    for (std::int64_t ms = 0; ms <= 72'000; ms += 1'000) feed(ms);
    clock.setNs(72'400 * kMs);
    control.showProgress();
    EXPECT_EQ(button.text(), "Stop recording (1:12, 73)");

    button.click();
    EXPECT_FALSE(control.recording());
    EXPECT_EQ(button.text(), QStringLiteral("Record CSV\u2026"));
    const std::string csv = file();
    EXPECT_TRUE(csv.starts_with("# QE7204 readouts; chip address 5; adapter serial QE000001\n"));
    EXPECT_EQ(lines(csv), 2 + 73);
    EXPECT_TRUE(messages.shown.empty());

    feed(73'000);
    EXPECT_EQ(lines(file()), 2 + 73) << "nothing after the stop";
}

// What the main window's strip says, whatever window is open.
TEST_F(RecordingControlTest, TellsItsStateForTheMainWindowAndTheFileWhenItStops) {
    std::vector<QString> told;
    control.setStateListener([&told](const QString& state) { told.push_back(state); });
    button.click();
    feed(0);
    feed(65'000);
    clock.setNs(65'200 * kMs);
    control.showProgress();
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(), QStringLiteral("Recording\u2026 (1:05, 2)"));
    button.click();
    EXPECT_EQ(told.back(), "Recorded 2 rows to " + chosen);
}

TEST_F(RecordingControlTest, CancellingTheFileChoiceRecordsNothing) {
    chosen.clear();
    button.click();
    EXPECT_FALSE(control.recording());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RecordingControlTest, AnUnpluggedAdapterEndsItWithAMessageAndTheFileWhole) {
    button.click();
    feed(0);
    feed(66);
    stream.publishAdapterLost();
    QCoreApplication::processEvents();  // the box comes once the poll tick is over

    EXPECT_FALSE(control.recording());
    EXPECT_EQ(button.text(), QStringLiteral("Record CSV\u2026"));
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0], "The recording stopped: the adapter does not answer. " +
                                       chosen.toStdString() +
                                       " holds the 2 readouts recorded until then.");
    EXPECT_EQ(lines(file()), 2 + 2);
}

TEST_F(RecordingControlTest, AFileThatCannotBeMadeOrWrittenIsToldAndNotRecorded) {
    const struct {
        QString path;
        std::string message;
    } cases[] = {
        {dir.filePath(QStringLiteral("no/such/folder.csv")),
         dir.filePath(QStringLiteral("no/such/folder.csv")).toStdString() +
             " cannot be created (No such file or directory)."},
        {QStringLiteral("/dev/full"), "/dev/full cannot be written (No space left on device)."},
    };
    for (const auto& c : cases) {
        messages.clear();
        chosen = c.path;
        button.click();
        EXPECT_FALSE(control.recording());
        EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message});
    }
}

}  // namespace
}  // namespace qe::ui
