#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "capture_session.h"
#include "readout_loop.h"

class QTimer;

namespace qe::chip {
class Chip;
}

namespace qe::ui {

// The Plot window's "Fast capture": the chip read at the speed of the link (a
// chip::CaptureSession) while the main window's poll leaves the adapter alone. It reads in
// slices from the event loop, a few milliseconds each, so the windows stay responsive; the
// readouts go to the same stream as the poll's, for the plot, the recording and the link
// health. It ends when stopped, when the poll takes the adapter back (a chip operation, the
// main window closing), when the adapter is lost or the chip stops answering; the adapter's
// designed latency timer is back then.
class FastCapture final : public QObject {
    Q_OBJECT
public:
    // Asks the poll to leave the adapter alone; the function given ends the capture when the
    // poll needs the adapter back.
    using PausePoll = std::function<void(std::function<void()> interrupted)>;
    using ResumePoll = std::function<void()>;

    FastCapture(chip::Chip& chip, PausePoll pausePoll, ResumePoll resumePoll,
                QObject* parent = nullptr);
    ~FastCapture() override;
    FastCapture(const FastCapture&) = delete;
    FastCapture& operator=(const FastCapture&) = delete;

    // False, with the reason in note(), when there is no powered chip to read.
    bool start();
    void stop();
    bool running() const { return session_.has_value(); }
    // Why the last capture did not start or ended by itself, or where it ran with less than
    // asked; empty otherwise.
    const QString& note() const { return note_; }

    // One slice now, as the event loop runs them (for tests on a manual clock).
    void readSlice();

    // A slice reads for about this long, and at most this many readouts (a clock that does
    // not move while the chip answers, as in tests, still ends it).
    static constexpr std::int64_t kSliceNs = 4'000'000;
    static constexpr int kMostReadsASlice = 64;

signals:
    void runningChanged(bool running);

private:
    void end(const QString& why);

    chip::Chip& chip_;
    PausePoll pausePoll_;
    ResumePoll resumePoll_;
    std::optional<chip::CaptureSession> session_;
    chip::ReadoutPace pace_;
    QTimer* slices_ = nullptr;
    QString note_;
};

}  // namespace qe::ui
