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

#include <QDir>

#include "local_path.h"
#include "magnet_check_dialog.h"
#include "magnet_polar_view.h"
#include "readout_csv_writer.h"
#include "recording_output.h"

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
            // The output words as the chip reports them: AbsPos in word 33, AgcGain in 35.
            RegisterImage image{};
            image[33] = static_cast<std::uint16_t>(
                static_cast<int>(std::floor(revolutions * 4096 + 20 * std::sin(angle))) & 4095);
            image[35] = static_cast<std::uint16_t>(std::lround(8 + 3 * std::sin(angle)) << 12);
            const chip::ReadoutSample sample = chip::makeReadoutSample(
                image, chip::DerivedValues{},
                5'000'000'000 + static_cast<std::int64_t>(std::llround(t_ * 1e9)), {});
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
    QString recording;
    MagnetCheckDialog dialog{
        stream,
        [] {
            chip::MagnetCheckSource source;
            source.adapterSerial = "QE42A";
            source.chipAddress = 5;
            return source;
        },
        nullptr,
        {[this](QWidget*) { return chosen; }, [this](QWidget*) { return recording; }}};
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
    // A fixed scale: the rings stand at the verdict's thresholds whatever the errors.
    EXPECT_EQ(dialog.polarView()->errorAxis()->max(), 1.5);
    EXPECT_EQ(dialog.polarView()->errorAxis()->min(), -1.5);
    EXPECT_EQ(MagnetPolarView::ringRadii(), QList<double>({-1.0, -0.5, 0.0, 0.5, 1.0}));
    EXPECT_EQ(report.source.adapterSerial, "QE42A");
    EXPECT_EQ(report.source.chipAddress, 5);
    EXPECT_FALSE(report.source.toolVersion.empty());
    EXPECT_TRUE(report.source.date.ends_with('Z'));
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
        sample.requestNs = i * kPollNs;
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

// A recording as the tool writes it, analysed in the dialog: the same report as a live check
// of the same readouts.
TEST_F(MagnetCheckDialogTest, AnalysesARecording) {
    recording = folder.filePath("turns.csv");
    {
        std::string error;
        chip::ReadoutCsvWriter writer(RecordingFile::create(localPath(recording).string(), error));
        ASSERT_TRUE(writer.start({5, "QE42A"}));
        struct Tap final : chip::ReadoutObserver {
            chip::ReadoutCsvWriter& writer;
            explicit Tap(chip::ReadoutCsvWriter& w) : writer(w) {}
            void readoutArrived(const chip::ReadoutSample& sample) override {
                writer.append(sample);
            }
        } tap(writer);
        stream.add(&tap);
        dialog.startButton()->click();
        shaft.turnFor(4.5);
        stream.remove(&tap);
        ASSERT_TRUE(writer.finish());
    }
    ASSERT_TRUE(dialog.report()) << dialog.stateLabel()->text().toStdString();
    const chip::MagnetReport live = *dialog.report();

    dialog.analyseButton()->click();
    ASSERT_TRUE(dialog.report()) << dialog.stateLabel()->text().toStdString();
    const chip::MagnetReport& analysed = *dialog.report();
    EXPECT_EQ(analysed.samples, live.samples);
    EXPECT_NEAR(analysed.errorFirst.amplitude, live.errorFirst.amplitude, 1e-3);
    EXPECT_NEAR(analysed.errorPercentileCounts, live.errorPercentileCounts, 1e-3);
    EXPECT_EQ(analysed.verdict, live.verdict);
    EXPECT_EQ(analysed.source.adapterSerial, "QE42A");
    EXPECT_EQ(analysed.source.chipAddress, 5);
    EXPECT_EQ(analysed.source.recording, QDir::toNativeSeparators(recording).toStdString());
    EXPECT_EQ(dialog.stateLabel()->text(), "Verdict: bad");

    recording = folder.filePath("none.csv");
    dialog.analyseButton()->click();
    EXPECT_FALSE(dialog.report());
    EXPECT_TRUE(dialog.stateLabel()->text().endsWith(": No such file or directory"))
        << dialog.stateLabel()->text().toStdString();
}

}  // namespace
}  // namespace qe::ui
