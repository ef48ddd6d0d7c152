#pragma once

#include <QGroupBox>

#include "simulated_adapter.h"

class QLabel;
class QPushButton;

namespace qe::ui {

// The adapter's cable and the faults that can be put on its next exchanges.
class AdapterControls : public QGroupBox {
    Q_OBJECT
public:
    explicit AdapterControls(sim::SimulatedAdapter& adapter, QWidget* parent = nullptr);

    // Shows whether the adapter is plugged, opened and powering the chips.
    void refresh();

    // How late "Late next reply" makes the reply: past the 20 ms the readout waits.
    static constexpr std::uint32_t kLateReplyMs = 40;

private:
    QWidget* makeCableRow();
    QWidget* makeFaultRow();

    sim::SimulatedAdapter& adapter_;
    QLabel* state_ = nullptr;
    QPushButton* unplug_ = nullptr;
    QPushButton* replug_ = nullptr;
};

}  // namespace qe::ui
