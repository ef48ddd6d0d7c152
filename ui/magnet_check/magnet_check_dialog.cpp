#include "magnet_check_dialog.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "local_path.h"
#include "magnet_check_recording.h"
#include "magnet_polar_view.h"
#include "readout_csv_writer.h"
#include "version.h"

namespace qe::ui {

namespace {

constexpr int kDefaultTurns = 2;
constexpr int kMostTurns = 50;
constexpr int kProgressSteps = 100;  // per turn

const QString kTextFilter = QStringLiteral("Text report (*.txt)");
const QString kJsonFilter = QStringLiteral("JSON report (*.json)");

QString waitingText(int turns) {
    return MagnetCheckDialog::tr(
        "Turn the shaft through %n whole turn(s): by hand for the field, "
        "with a motor at a steady speed for the accuracy too.",
        nullptr, turns);
}

}  // namespace

std::optional<MagnetReportTarget> chooseMagnetReportFile(QWidget* parent) {
    QFileDialog dialog(parent, MagnetCheckDialog::tr("Save the magnet check report"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({kTextFilter, kJsonFilter});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        dialog.setDefaultSuffix(f == kJsonFilter ? QStringLiteral("json") : QStringLiteral("txt"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().constFirst();
    const bool json =
        dialog.selectedNameFilter() == kJsonFilter ||
        QFileInfo(path).suffix().compare(QStringLiteral("json"), Qt::CaseInsensitive) == 0;
    return MagnetReportTarget{path, json ? MagnetReportFormat::Json : MagnetReportFormat::Text};
}

QString chooseMagnetRecording(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, MagnetCheckDialog::tr("Analyse a recording"),
                                        QString(),
                                        MagnetCheckDialog::tr("Recordings (*.csv);;All files (*)"));
}

QString saveMagnetReport(const chip::MagnetReport& report, const MagnetReportTarget& target) {
    const std::string text = target.format == MagnetReportFormat::Json
                                 ? chip::magnetReportJson(report)
                                 : chip::magnetReportText(report);
    QSaveFile file(target.path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    const auto size = static_cast<qint64>(text.size());
    if (file.write(text.data(), size) != size || !file.commit()) return file.errorString();
    return {};
}

MagnetCheckDialog::MagnetCheckDialog(chip::ReadoutStream& readouts, MagnetCheckSourceOf sourceOf,
                                     QWidget* parent, MagnetCheckChoosers choosers)
    : QDialog(parent),
      readouts_(readouts),
      sourceOf_(std::move(sourceOf)),
      choosers_(std::move(choosers)),
      turns_(new QSpinBox),
      start_(new QPushButton(tr("Start"))),
      stop_(new QPushButton(tr("Stop"))),
      save_(new QPushButton(tr("Save report..."))),
      analyse_(new QPushButton(tr("Analyse a recording…"))),
      progress_(new QProgressBar),
      state_(new QLabel),
      polar_(new MagnetPolarView),
      reportText_(new QPlainTextEdit) {
    setObjectName(QStringLiteral("MagnetCheck"));
    setWindowTitle(tr("Magnet check"));

    turns_->setRange(1, kMostTurns);
    turns_->setValue(kDefaultTurns);
    turns_->setSuffix(tr(" turns"));
    stop_->setEnabled(false);
    save_->setEnabled(false);
    state_->setWordWrap(true);
    state_->setText(waitingText(kDefaultTurns));
    reportText_->setReadOnly(true);
    reportText_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    reportText_->setMinimumHeight(180);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(tr("Turns wanted:")));
    controls->addWidget(turns_);
    controls->addWidget(start_);
    controls->addWidget(stop_);
    controls->addWidget(progress_, 1);
    controls->addWidget(save_);
    controls->addWidget(analyse_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(state_);
    layout->addWidget(polar_, 1);
    layout->addWidget(reportText_);

    connect(start_, &QPushButton::clicked, this, &MagnetCheckDialog::start);
    connect(stop_, &QPushButton::clicked, this, &MagnetCheckDialog::stop);
    connect(save_, &QPushButton::clicked, this, &MagnetCheckDialog::saveReport);
    connect(analyse_, &QPushButton::clicked, this, &MagnetCheckDialog::analyseRecording);
    connect(turns_, &QSpinBox::valueChanged, this, [this](int turns) {
        if (!running()) state_->setText(waitingText(turns));
    });
    showProgress();
}

MagnetCheckDialog::~MagnetCheckDialog() {
    readouts_.remove(this);
}

void MagnetCheckDialog::start() {
    check_.emplace(turns_->value());
    report_.reset();
    polar_->clear();
    reportText_->clear();
    state_->setText(waitingText(turns_->value()));
    turns_->setEnabled(false);
    start_->setEnabled(false);
    stop_->setEnabled(true);
    save_->setEnabled(false);
    analyse_->setEnabled(false);
    showProgress();
    readouts_.add(this);
}

void MagnetCheckDialog::stop() {
    if (running()) end(tr("Stopped."));
}

void MagnetCheckDialog::closeEvent(QCloseEvent* event) {
    stop();
    QDialog::closeEvent(event);
}

void MagnetCheckDialog::readoutArrived(const chip::ReadoutSample& sample) {
    if (!check_) return;
    check_->add(sample);
    showProgress();
    if (check_->complete()) finish();
}

void MagnetCheckDialog::adapterLost() {
    if (running()) end(tr("The adapter stopped answering; the check was stopped."));
}

void MagnetCheckDialog::finish() {
    const chip::MagnetCheckResult result = check_->result();
    if (!result.report) {
        end(QString::fromStdString(result.error));
        return;
    }
    chip::MagnetReport report = *result.report;
    if (sourceOf_) report.source = sourceOf_();
    report.source.date = chip::isoTimeText(std::chrono::system_clock::now());
    report.source.toolVersion = FileVersionString();
    end({});
    showReport(report);
}

void MagnetCheckDialog::showReport(const chip::MagnetReport& report) {
    report_ = report;
    state_->setText(tr("Verdict: %1").arg(QString::fromUtf8(chip::verdictText(report_->verdict))));
    polar_->showPoints(report_->points);
    reportText_->setPlainText(QString::fromStdString(chip::magnetReportText(*report_)));
    save_->setEnabled(true);
}

// The same check over a recording the tool wrote, with as many turns as the box asks.
void MagnetCheckDialog::analyseRecording() {
    if (running()) return;
    const QString path = choosers_.recording(this);
    if (path.isEmpty()) return;
    const chip::MagnetCheckResult result = chip::checkRecording(
        chip::readMagnetRecordingFile(localPath(path).string()), turns_->value());
    report_.reset();
    polar_->clear();
    reportText_->clear();
    save_->setEnabled(false);
    if (!result.report) {
        state_->setText(
            tr("%1: %2").arg(QDir::toNativeSeparators(path), QString::fromStdString(result.error)));
        return;
    }
    chip::MagnetReport report = *result.report;
    report.source.toolVersion = FileVersionString();
    report.source.recording = QDir::toNativeSeparators(path).toStdString();
    showReport(report);
}

// Stops listening; what was found stays on show.
void MagnetCheckDialog::end(const QString& state) {
    readouts_.remove(this);
    showProgress();
    check_.reset();
    state_->setText(state);
    turns_->setEnabled(true);
    start_->setEnabled(true);
    analyse_->setEnabled(true);
    stop_->setEnabled(false);
}

void MagnetCheckDialog::showProgress() {
    const int wanted = check_ ? check_->turnsWanted() : turns_->value();
    progress_->setRange(0, wanted * kProgressSteps);
    if (!check_) {
        progress_->setValue(0);
        progress_->setFormat(QString());
        return;
    }
    const double done = std::min(check_->turnsDone(), static_cast<double>(wanted));
    progress_->setValue(static_cast<int>(std::floor(done * kProgressSteps)));
    progress_->setFormat(tr("%1 of %2 turns").arg(done, 0, 'f', 2).arg(wanted));
}

void MagnetCheckDialog::saveReport() {
    if (!report_) return;
    const auto target = choosers_.report(this);
    if (!target) return;
    if (const QString error = saveMagnetReport(*report_, *target); !error.isEmpty())
        QMessageBox::warning(this, windowTitle(),
                             tr("The report could not be saved to %1: %2")
                                 .arg(QDir::toNativeSeparators(target->path), error));
}

}  // namespace qe::ui
