#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QValueAxis>
#include <cmath>
#include <numbers>

#include "magnet_check_dialog.h"
#include "magnet_polar_view.h"

namespace qe::ui {
namespace {

constexpr std::int64_t kPollNs = 50'000'000;

// Readouts of a shaft turning at half a turn a second under an off-centre, tilted magnet
// (20 counts once per turn, AGC 8 rippling by 3), as the poll cycle publishes them.
class TurningShaft {
public:
    explicit TurningShaft(chip::ReadoutStream& stream) : stream_(stream) {}

    void turnFor(double seconds) {
        for (double end = t_ + seconds; t_ < end; t_ += kPollNs / 1e9) {
            const double revolutions = 0.3 + 0.5 * t_;
            const double angle = 2 * std::numbers::pi * revolutions;
            chip::ReadoutSample sample;
            sample.steadyNs = 5'000'000'000 + static_cast<std::int64_t>(std::llround(t_ * 1e9));
            sample.readout.absolute =
                static_cast<int>(std::floor(revolutions * 4096 + 20 * std::sin(angle))) & 4095;
            sample.readout.agcPercent = std::lround(8 + 3 * std::sin(angle)) / 16.0 * 100.0;
            stream_.publish(sample);
        }
    }

private:
    chip::ReadoutStream& stream_;
    double t_ = 0.0;
};

class MagnetCheckDialogTest : public ::testing::Test {
protected:
    chip::ReadoutStream stream;
    TurningShaft shaft{stream};
    QTemporaryDir folder;
    std::optional<MagnetReportTarget> chosen;
    MagnetCheckDialog dialog{stream, nullptr, [this](QWidget*) { return chosen; }};
};

TEST_F(MagnetCheckDialogTest, FollowsTheTurnsAndShowsTheReport) {
    EXPECT_TRUE(stream.empty()) << "listens only while a check runs";
    shaft.turnFor(1.0);
    EXPECT_FALSE(dialog.running());

    dialog.turnsBox()->setValue(2);
    dialog.startButton()->click();
    EXPECT_TRUE(dialog.running());
    EXPECT_FALSE(dialog.startButton()->isEnabled());
    EXPECT_FALSE(dialog.turnsBox()->isEnabled());
    EXPECT_FALSE(stream.empty());

    shaft.turnFor(2.0);  // one turn
    EXPECT_TRUE(dialog.running());
    EXPECT_NEAR(dialog.progressBar()->value(), 100, 3);
    EXPECT_EQ(dialog.progressBar()->maximum(), 200);
    EXPECT_TRUE(dialog.progressBar()->format().endsWith(" of 2 turns"))
        << dialog.progressBar()->format().toStdString();
    EXPECT_TRUE(dialog.reportView()->toPlainText().isEmpty());

    shaft.turnFor(2.2);
    ASSERT_FALSE(dialog.running()) << dialog.stateLabel()->text().toStdString();
    EXPECT_TRUE(stream.empty());
    EXPECT_EQ(dialog.progressBar()->value(), 200);
    EXPECT_EQ(dialog.progressBar()->format(), "2.00 of 2 turns");
    ASSERT_TRUE(dialog.report());
    const chip::MagnetReport& report = *dialog.report();
    EXPECT_NEAR(report.errorFirst.amplitude, 20.0, 4.0);
    EXPECT_EQ(report.agcMin, 5);
    EXPECT_EQ(report.agcMax, 11);
    EXPECT_EQ(dialog.stateLabel()->text(), "Verdict: bad");
    EXPECT_EQ(dialog.reportView()->toPlainText().toStdString(), chip::magnetReportText(report));
    EXPECT_EQ(dialog.polarView()->agcSeries()->count(), report.samples);
    EXPECT_EQ(dialog.polarView()->errorSeries()->count(), report.samples);
    EXPECT_GE(dialog.polarView()->errorAxis()->max(), report.errorPeakCounts);
    EXPECT_TRUE(dialog.saveButton()->isEnabled());
    EXPECT_TRUE(dialog.startButton()->isEnabled());

    // A second check starts afresh.
    dialog.startButton()->click();
    EXPECT_FALSE(dialog.report());
    EXPECT_EQ(dialog.polarView()->agcSeries()->count(), 0);
    EXPECT_TRUE(dialog.reportView()->toPlainText().isEmpty());
    EXPECT_EQ(dialog.progressBar()->value(), 0);
}

TEST_F(MagnetCheckDialogTest, StopsWhenAskedOrWhenTheAdapterIsLost) {
    dialog.startButton()->click();
    shaft.turnFor(1.0);
    dialog.stopButton()->click();
    EXPECT_FALSE(dialog.running());
    EXPECT_TRUE(stream.empty());
    EXPECT_EQ(dialog.stateLabel()->text(), "Stopped.");
    EXPECT_NEAR(dialog.progressBar()->value(), 50, 6) << "how far it got stays on show";
    EXPECT_FALSE(dialog.report());
    EXPECT_FALSE(dialog.saveButton()->isEnabled());

    dialog.startButton()->click();
    stream.publishAdapterLost();
    EXPECT_FALSE(dialog.running());
    EXPECT_EQ(dialog.stateLabel()->text(), "The adapter stopped answering; the check was stopped.");

    dialog.startButton()->click();
    dialog.close();
    EXPECT_FALSE(dialog.running()) << "closing the dialog ends the check";
    EXPECT_TRUE(stream.empty());
}

TEST_F(MagnetCheckDialogTest, ACheckThatCannotBeJudgedSaysWhy) {
    dialog.turnsBox()->setValue(1);
    dialog.startButton()->click();
    // Readouts far apart: a turn in a few steps.
    chip::ReadoutSample sample;
    for (int i = 0; i <= 5; ++i) {
        sample.steadyNs = i * kPollNs;
        sample.readout.absolute = (i * 900) % 4096;
        stream.publish(sample);
    }
    EXPECT_FALSE(dialog.running());
    EXPECT_FALSE(dialog.report());
    EXPECT_TRUE(dialog.stateLabel()->text().startsWith("Too few readouts"))
        << dialog.stateLabel()->text().toStdString();
}

TEST_F(MagnetCheckDialogTest, SavesTheReportAsTextOrJson) {
    dialog.startButton()->click();
    shaft.turnFor(4.5);
    ASSERT_TRUE(dialog.report());

    const QString text = folder.filePath("report.txt");
    chosen = MagnetReportTarget{text, MagnetReportFormat::Text};
    dialog.saveButton()->click();
    QFile textFile(text);
    ASSERT_TRUE(textFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(textFile.readAll().toStdString(), chip::magnetReportText(*dialog.report()));

    const QString json = folder.filePath("report.json");
    chosen = MagnetReportTarget{json, MagnetReportFormat::Json};
    dialog.saveButton()->click();
    QFile jsonFile(json);
    ASSERT_TRUE(jsonFile.open(QIODevice::ReadOnly));
    const QJsonObject object = QJsonDocument::fromJson(jsonFile.readAll()).object();
    EXPECT_EQ(object["agc_min"].toInt(), 5);
    EXPECT_EQ(object["agc_max"].toInt(), 11);
    EXPECT_EQ(object["verdict"].toString(), "bad");

    chosen.reset();  // cancelled: nothing written, nothing asked
    dialog.saveButton()->click();

    EXPECT_EQ(saveMagnetReport(*dialog.report(),
                               {folder.filePath("no/such/folder/r.txt"), MagnetReportFormat::Text})
                  .isEmpty(),
              false);
}

}  // namespace
}  // namespace qe::ui
