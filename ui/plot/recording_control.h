#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "clock.h"
#include "message_sink.h"
#include "readout_csv_writer.h"
#include "readout_recording.h"
#include "readout_stream.h"

class QPushButton;
class QTimer;

namespace qe::ui {

// The record button: asks for a file, records every readout to it as CSV and shows the
// elapsed time and the count while it runs; a second click stops. When the recording ends
// by itself (a full disk, the adapter gone) it says why in a message box.
class RecordingControl final : public QObject {
    Q_OBJECT
public:
    using SourceOf = std::function<chip::RecordingSource()>;
    // The file to record to; empty when the user cancels.
    using ChooseFile = std::function<QString()>;

    RecordingControl(QPushButton* button, chip::ReadoutStream& stream, Clock& clock,
                     SourceOf source, MessageSink& messages, QObject* parent = nullptr);
    ~RecordingControl() override;

    void setFileChooser(ChooseFile choose) { choose_ = std::move(choose); }
    // Told "Recording… (0:12, 183)" while a recording runs, whatever window is open, and
    // "Recorded 183 rows to FILE" when it ends, so the main window can say it.
    using StateTold = std::function<void(const QString&)>;
    void setStateListener(StateTold told) { told_ = std::move(told); }

    void buttonClicked();
    // Starts recording to `path`; false, with a message shown, when it cannot.
    bool start(const QString& path);
    void stop();
    // Writes the rows that are due and shows the time and count on the button; the control
    // does it four times a second while recording.
    void showProgress();
    bool recording() const { return recording_ != nullptr; }
    const chip::ReadoutRecording* current() const { return recording_.get(); }

    static QString idleText();
    // "Stop recording (0:12, 183)"
    static QString runningText(std::int64_t elapsedNs, std::uint64_t rows);
    // "Recording… (0:12, 183)"
    static QString noteText(std::int64_t elapsedNs, std::uint64_t rows);

private:
    void ended(const std::string& message);
    void drop();
    void showState();
    QString defaultChooser();

    QPushButton* button_;
    chip::ReadoutStream& stream_;
    Clock& clock_;
    SourceOf source_;
    MessageSink& messages_;
    ChooseFile choose_;
    StateTold told_;
    std::unique_ptr<chip::ReadoutRecording> recording_;
    std::int64_t startNs_ = 0;
    QTimer* timer_;
};

}  // namespace qe::ui
