#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "link_health.h"
#include "readout_stream.h"
#include "ring_buffer.h"

class QLabel;
class QTimer;

namespace qe::ui {

// "Link health": readouts per second, the mean and worst reply time, late replies with the
// worst delay, time-outs and failed reads with their rates a minute since the adapter was
// connected or the counts were reset, the backend and the adapter's serial number.
class LinkHealthDialog final : public QWidget, private chip::ReadoutObserver {
    Q_OBJECT
public:
    struct Facts {
        bool connected = false;
        LinkHealth health;
        std::int64_t nowNs = 0;  // on the clock of health.connectedAtNs and the readouts
        std::string backend;
        std::string serial;
    };
    using FactsOf = std::function<Facts()>;

    // `reset` starts the link's counts afresh ("Reset").
    LinkHealthDialog(chip::ReadoutStream& stream, FactsOf facts, std::function<void()> reset,
                     QWidget* parent = nullptr);
    ~LinkHealthDialog() override;

    // Shows the facts as they are now; the dialog does it twice a second while shown.
    void showFacts();

    // Readouts over the last few seconds (nothing before `sinceNs`), per second.
    double readoutsPerSecond(std::int64_t nowNs, std::int64_t sinceNs) const;

    static constexpr int kShowMs = 500;
    static constexpr std::int64_t kRateWindowNs = 5'000'000'000;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void readoutArrived(const chip::ReadoutSample& sample) override;
    QLabel* addRow(const QString& name, const char* objectName);

    chip::ReadoutStream& stream_;
    FactsOf facts_;
    std::function<void()> reset_;
    RingBuffer<std::int64_t> readoutTimes_;
    QLabel* rate_ = nullptr;
    QLabel* replies_ = nullptr;
    QLabel* late_ = nullptr;
    QLabel* timeouts_ = nullptr;
    QLabel* rates_ = nullptr;
    QLabel* failedReads_ = nullptr;
    QLabel* connectedFor_ = nullptr;
    QLabel* backend_ = nullptr;
    QLabel* serial_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace qe::ui
