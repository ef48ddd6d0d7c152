#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "magnet_check.h"
#include "readout_stream.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace qe::ui {

class MagnetPolarView;

enum class MagnetReportFormat { Text, Json };

// Where to save the report: a file name and its format, or nothing when the user cancels.
struct MagnetReportTarget {
    QString path;
    MagnetReportFormat format = MagnetReportFormat::Text;
};
using MagnetReportChooser = std::function<std::optional<MagnetReportTarget>(QWidget* parent)>;
// The recording to analyse, or an empty name when the user cancels.
using MagnetRecordingChooser = std::function<QString(QWidget* parent)>;
// Which chip and adapter a live check reads, asked when it ends.
using MagnetCheckSourceOf = std::function<chip::MagnetCheckSource()>;

// Asks with a file dialog; the format follows the chosen filter, or a ".json" name.
std::optional<MagnetReportTarget> chooseMagnetReportFile(QWidget* parent);
// Asks for a recording (CSV) with a file dialog.
QString chooseMagnetRecording(QWidget* parent);

struct MagnetCheckChoosers {
    MagnetReportChooser report = chooseMagnetReportFile;
    MagnetRecordingChooser recording = chooseMagnetRecording;
};

// Writes the report whole or not at all; the reason when it could not.
QString saveMagnetReport(const chip::MagnetReport& report, const MagnetReportTarget& target);

// The magnet mounting check in the window: listens to the readouts the poll cycle already
// makes while the user turns the shaft, and shows the report once enough turns are done. It
// has no way to the adapter at all.
class MagnetCheckDialog final : public QDialog, private chip::ReadoutObserver {
    Q_OBJECT
public:
    explicit MagnetCheckDialog(chip::ReadoutStream& readouts, MagnetCheckSourceOf sourceOf = {},
                               QWidget* parent = nullptr, MagnetCheckChoosers choosers = {});
    ~MagnetCheckDialog() override;

    void start();
    void stop();
    bool running() const { return check_.has_value(); }
    const std::optional<chip::MagnetReport>& report() const { return report_; }

    QSpinBox* turnsBox() const { return turns_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* analyseButton() const { return analyse_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* stateLabel() const { return state_; }
    QPlainTextEdit* reportView() const { return reportText_; }
    MagnetPolarView* polarView() const { return polar_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void readoutArrived(const chip::ReadoutSample& sample) override;
    void adapterLost() override;

    void finish();
    void analyseRecording();
    void showReport(const chip::MagnetReport& report);
    void end(const QString& state);
    void showProgress();
    void saveReport();

    chip::ReadoutStream& readouts_;
    MagnetCheckSourceOf sourceOf_;
    MagnetCheckChoosers choosers_;
    std::optional<chip::MagnetCheck> check_;
    std::optional<chip::MagnetReport> report_;

    QSpinBox* turns_;
    QPushButton* start_;
    QPushButton* stop_;
    QPushButton* save_;
    QPushButton* analyse_;
    QProgressBar* progress_;
    QLabel* state_;
    MagnetPolarView* polar_;
    QPlainTextEdit* reportText_;
};

}  // namespace qe::ui
