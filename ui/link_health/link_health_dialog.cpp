#include "link_health_dialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "readout.h"

namespace qe::ui {

namespace {

// Twenty readouts a second for the rate's window, with room to spare.
constexpr std::size_t kKeptReadoutTimes = 128;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString durationText(std::int64_t ns) {
    const std::int64_t seconds = ns / kNsPerSecond;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

LinkHealthDialog::LinkHealthDialog(chip::ReadoutStream& stream, FactsOf facts,
                                   std::function<void()> reset, QWidget* parent)
    : QWidget(parent, Qt::Window),
      stream_(stream),
      facts_(std::move(facts)),
      reset_(std::move(reset)),
      readoutTimes_(kKeptReadoutTimes) {
    setObjectName(QStringLiteral("LinkHealth"));
    setWindowTitle(QStringLiteral("Link health"));
    auto* form = new QFormLayout(this);
    form->setLabelAlignment(Qt::AlignRight);
    rate_ = addRow(QStringLiteral("Readouts per second:"), "HealthReadoutRate");
    replies_ = addRow(QStringLiteral("Reply time:"), "HealthReplyTime");
    late_ = addRow(QStringLiteral("Late replies:"), "HealthLate");
    timeouts_ = addRow(QStringLiteral("Time-outs:"), "HealthTimeouts");
    failedReads_ = addRow(QStringLiteral("Failed reads:"), "HealthFailedReads");
    rates_ = addRow(QStringLiteral("Per minute:"), "HealthRates");
    connectedFor_ = addRow(QStringLiteral("Connected for:"), "HealthConnectedFor");
    backend_ = addRow(QStringLiteral("Backend:"), "HealthBackend");
    serial_ = addRow(QStringLiteral("Adapter serial:"), "HealthSerial");
    auto* resetButton = new QPushButton(QStringLiteral("Reset"), this);
    resetButton->setObjectName(QStringLiteral("HealthReset"));
    resetButton->setToolTip(QStringLiteral("Count afresh from now"));
    static_cast<QFormLayout*>(layout())->addRow(resetButton);
    connect(resetButton, &QPushButton::clicked, this, [this] {
        if (reset_) reset_();
        showFacts();
    });
    timer_ = new QTimer(this);
    timer_->setInterval(kShowMs);
    connect(timer_, &QTimer::timeout, this, &LinkHealthDialog::showFacts);
    stream_.add(this);
}

LinkHealthDialog::~LinkHealthDialog() {
    stream_.remove(this);
}

QLabel* LinkHealthDialog::addRow(const QString& name, const char* objectName) {
    auto* value = new QLabel(this);
    value->setObjectName(QLatin1String(objectName));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    static_cast<QFormLayout*>(layout())->addRow(name, value);
    return value;
}

void LinkHealthDialog::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showFacts();
    timer_->start();
}

void LinkHealthDialog::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_->stop();
}

void LinkHealthDialog::readoutArrived(const chip::ReadoutSample& sample) {
    readoutTimes_.push(sample.requestNs);
}

double LinkHealthDialog::readoutsPerSecond(std::int64_t nowNs, std::int64_t sinceNs) const {
    const std::int64_t from = std::max(sinceNs, nowNs - kRateWindowNs);
    const std::size_t first =
        readoutTimes_.lowerBound(from, [](std::int64_t t, std::int64_t key) { return t < key; });
    const std::size_t count = readoutTimes_.size() - first;
    if (count < 2) return 0.0;
    // Intervals between the readouts seen, so that a window just opened is not diluted.
    const std::int64_t span = readoutTimes_.newest() - readoutTimes_[first];
    return span > 0 ? static_cast<double>(count - 1) * kNsPerSecond / span : 0.0;
}

void LinkHealthDialog::showFacts() {
    const Facts facts = facts_ ? facts_() : Facts{};
    const LinkHealth& h = facts.health;
    const double rate = facts.connected ? readoutsPerSecond(facts.nowNs, h.connectedAtNs) : 0.0;
    rate_->setText(text(chip::formatFixed(rate, 1)));
    replies_->setText(h.replies == 0 ? QStringLiteral("no replies yet")
                                     : QStringLiteral("mean %1 ms, worst %2 ms")
                                           .arg(text(chip::formatFixed(h.meanReplyMs(), 1)),
                                                text(chip::formatFixed(h.worstReplyMs(), 1))));
    late_->setText(h.late == 0 ? QStringLiteral("0")
                               : QStringLiteral("%1, worst %2 ms")
                                     .arg(h.late)
                                     .arg(text(chip::formatFixed(h.worstLateMs(), 1))));
    timeouts_->setText(QString::number(h.timeouts));
    failedReads_->setText(QString::number(h.failedReads));
    const auto perMinute = [](double value) { return text(chip::formatFixed(value, 1)); };
    rates_->setText(facts.connected ? QStringLiteral("time-outs %1, late %2, failed reads %3")
                                          .arg(perMinute(h.timeoutsPerMinute(facts.nowNs)),
                                               perMinute(h.latePerMinute(facts.nowNs)),
                                               perMinute(h.failedReadsPerMinute(facts.nowNs)))
                                    : QStringLiteral("\u2014"));
    connectedFor_->setText(facts.connected ? durationText(facts.nowNs - h.connectedAtNs)
                                           : QStringLiteral("not connected"));
    backend_->setText(text(facts.backend));
    serial_->setText(facts.serial.empty() ? QStringLiteral("\u2014") : text(facts.serial));
}

}  // namespace qe::ui
