#include "recording_control.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

#include "local_path.h"
#include "recording_output.h"

namespace qe::ui {

namespace {

// The button's time and count move on, and rows reach the disk, several times a second.
constexpr int kTickMs = 250;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;

}  // namespace

RecordingControl::RecordingControl(QPushButton* button, chip::ReadoutStream& stream, Clock& clock,
                                   SourceOf source, MessageSink& messages, QObject* parent)
    : QObject(parent),
      button_(button),
      stream_(stream),
      clock_(clock),
      source_(std::move(source)),
      messages_(messages),
      timer_(new QTimer(this)) {
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &RecordingControl::showProgress);
    connect(button_, &QPushButton::clicked, this, &RecordingControl::buttonClicked);
    showState();
}

RecordingControl::~RecordingControl() {
    drop();
}

QString RecordingControl::idleText() {
    return QStringLiteral("Record CSV\u2026");
}

namespace {

QString minutesAndRows(std::int64_t elapsedNs, std::uint64_t rows) {
    const std::int64_t seconds = elapsedNs / kNsPerSecond;
    return QStringLiteral("%1:%2, %3")
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(rows);
}

}  // namespace

QString RecordingControl::runningText(std::int64_t elapsedNs, std::uint64_t rows) {
    return QStringLiteral("Stop recording (%1)").arg(minutesAndRows(elapsedNs, rows));
}

QString RecordingControl::noteText(std::int64_t elapsedNs, std::uint64_t rows) {
    return QStringLiteral("Recording\u2026 (%1)").arg(minutesAndRows(elapsedNs, rows));
}

void RecordingControl::buttonClicked() {
    if (recording_) {
        stop();
        return;
    }
    const QString path = choose_ ? choose_() : defaultChooser();
    if (!path.isEmpty()) start(path);
}

QString RecordingControl::defaultChooser() {
    const QString name =
        QDateTime::currentDateTime().toString(QStringLiteral("'qe7204-'yyyyMMdd-HHmmss'.csv'"));
    return QFileDialog::getSaveFileName(button_->window(), QStringLiteral("Record readouts"),
                                        QDir::home().filePath(name),
                                        QStringLiteral("CSV files (*.csv)"));
}

bool RecordingControl::start(const QString& path) {
    if (recording_) return false;
    const std::string file = path.toStdString();  // as the messages show it
    std::string error;
    auto output = RecordingFile::create(localPath(path).string(), error);
    if (!output) {
        messages_.show(MessageKind::Error, file + " cannot be created (" + error + ").");
        return false;
    }
    auto writer = std::make_unique<chip::ReadoutCsvWriter>(std::move(output));
    if (!writer->start(source_())) {
        messages_.show(MessageKind::Error, file + " cannot be written (" + writer->error() + ").");
        return false;
    }
    recording_ = std::make_unique<chip::ReadoutRecording>(
        std::move(writer), file, [this](const std::string& message) { ended(message); });
    startNs_ = clock_.nowNs();
    stream_.add(recording_.get());
    timer_->start();
    showState();
    return true;
}

void RecordingControl::stop() {
    if (!recording_) return;
    // A failure to write the last rows is told like any other end by itself.
    recording_->stop();
    if (recording_) drop();
}

// May come from inside a readout, in the middle of a poll tick: the box waits until the
// tick is over, and the recording is let go only once its own call has returned.
void RecordingControl::ended(const std::string& message) {
    QTimer::singleShot(0, this, [this, message] {
        drop();
        messages_.show(MessageKind::Error, message);
    });
}

void RecordingControl::drop() {
    if (!recording_) return;
    if (told_)
        told_(QStringLiteral("Recorded %1 rows to %2")
                  .arg(recording_->rowCount())
                  .arg(QString::fromStdString(recording_->path())));
    stream_.remove(recording_.get());
    recording_.reset();
    timer_->stop();
    showState();
}

void RecordingControl::showProgress() {
    if (!recording_) return;
    recording_->flushIfDue(clock_.nowNs());
    showState();
}

void RecordingControl::showState() {
    if (recording_ && recording_->active()) {
        const std::int64_t elapsed = clock_.nowNs() - startNs_;
        button_->setText(runningText(elapsed, recording_->rowCount()));
        if (told_) told_(noteText(elapsed, recording_->rowCount()));
    } else
        button_->setText(idleText());
}

}  // namespace qe::ui
