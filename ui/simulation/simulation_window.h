#pragma once

#include <QWidget>

#include "simulated_adapter.h"

class QTimer;

namespace qe::ui {

class AdapterControls;
class ChipControls;
class MagnetControls;

// The bench of the simulated adapter, beside the tool's main window: the magnet, the cable,
// the chips on the bus and a few faults, so every state of the tool can be tried by hand.
class SimulationWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 100;

    explicit SimulationWindow(sim::SimulatedAdapter& adapter, QWidget* parent = nullptr);

    // Brings every read-only figure up to date; a timer calls it while the window is shown.
    void refresh();

    // Puts this window, frame and all, next to `mainWindow` without covering it: to its
    // right when the screen has room, else below it, else at the screen's right edge.
    // Called before the window is first shown.
    void placeBeside(const QWidget& mainWindow);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    MagnetControls* magnet_ = nullptr;
    AdapterControls* adapter_ = nullptr;
    ChipControls* chips_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
};

}  // namespace qe::ui
