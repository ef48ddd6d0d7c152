#pragma once

#include <QGroupBox>

#include "chip_bus.h"

class QLabel;
class QPushButton;

namespace qe::ui {

// The chips on the adapter's bus: add one (a second chip breaks the one-chip rule), take
// the last one away, or take them all away.
class ChipControls : public QGroupBox {
    Q_OBJECT
public:
    explicit ChipControls(sim::ChipBus& bus, QWidget* parent = nullptr);

    // Shows the chips' bus addresses; the tool may move a chip to another one.
    void refresh();

private:
    void addChip();
    void removeLastChip();

    sim::ChipBus& bus_;
    QLabel* chips_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* removeAll_ = nullptr;
};

}  // namespace qe::ui
