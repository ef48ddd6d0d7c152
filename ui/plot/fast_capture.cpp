#include "fast_capture.h"

#include <QTimer>
#include <string>

#include "chip.h"

namespace qe::ui {

namespace {

QString joined(const std::vector<std::string>& notes) {
    QStringList lines;
    for (const std::string& note : notes) lines << QString::fromStdString(note);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

FastCapture::FastCapture(chip::Chip& chip, PausePoll pausePoll, ResumePoll resumePoll,
                         QObject* parent)
    : QObject(parent),
      chip_(chip),
      pausePoll_(std::move(pausePoll)),
      resumePoll_(std::move(resumePoll)),
      slices_(new QTimer(this)) {
    // Zero: a slice whenever the event loop has nothing else to do.
    slices_->setInterval(0);
    connect(slices_, &QTimer::timeout, this, &FastCapture::readSlice);
}

FastCapture::~FastCapture() {
    stop();
}

bool FastCapture::start() {
    if (running()) return true;
    if (!chip_.adapterOpen() || !chip_.chipPowered()) {
        note_ = QStringLiteral("Fast capture needs an adapter with the chip supply on.");
        return false;
    }
    pausePoll_([this] { stop(); });
    session_.emplace(chip_, chip::CaptureOptions{});
    note_ = joined(session_->notes());
    pace_ = {};
    pace_.intervalNs = 0;
    slices_->start();
    emit runningChanged(true);
    return true;
}

void FastCapture::stop() {
    if (!running()) return;
    slices_->stop();
    session_->finish();
    if (!session_->notes().empty()) note_ = joined(session_->notes());
    session_.reset();
    resumePoll_();
    emit runningChanged(false);
}

void FastCapture::end(const QString& why) {
    stop();
    note_ = why;
}

void FastCapture::readSlice() {
    if (!running()) return;
    Clock& clock = chip_.clock();
    const std::int64_t until = clock.nowNs() + kSliceNs;
    int tries = 0;
    // The first read always; then on until the slice's time or count is used up.
    const auto sliceOver = [&] {
        return tries++ > 0 && (clock.nowNs() >= until || tries > kMostReadsASlice);
    };
    for (;;) {
        const chip::PacedReadout got = chip_.readouts().next(pace_, sliceOver);
        if (got.sample) continue;
        switch (got.end) {
            case chip::ReadoutEnd::AdapterLost:
                return end(QStringLiteral("Fast capture ended: the adapter stopped answering."));
            case chip::ReadoutEnd::ChipSilent:
                return end(QStringLiteral("Fast capture ended: the chip stopped answering."));
            case chip::ReadoutEnd::Counted:
            case chip::ReadoutEnd::Stopped:
                return;
        }
    }
}

}  // namespace qe::ui
