// The 50 ms poll cycle: connection, display state, bus scan, settings enablement and the
// continuous readout; and the power buttons that drive the same state.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "analogue_panel_view.h"
#include "chip_exchange_guard.h"
#include "main_window.h"
#include "right_anchored_label.h"
#include "status_panels.h"

namespace qe::ui {

namespace {
constexpr std::uint32_t kOnceASecondMs = 1000;
}

void MainWindow::Timer1Timer() {
    Timer1->stop();
    // A handler waits in a message box between its exchanges with the chip, or a fast
    // capture has the adapter; ours would land among theirs. The next tick looks again.
    if (chipExchanges_.busy()) {
        if (!closed_) Timer1->start();
        return;
    }
    PollBusy = true;

    onceASecond();
    chip_.connectIfNeeded();

    const DisplayState state = displayStateFor(chip_.checkConnection(), chip_.chipPowered());
    showDisplayState(state);
    bool ready = state == DisplayState::Powered;
    if (ready && clock_.tickCount() % 1000 < static_cast<std::uint32_t>(Timer1->interval()))
        ready = scanStep();
    applySettingsStep(ready && chip_.oneChip());

    if (chip_.chipPowered() && CbBeriSkoz->isChecked()) RefreshReadout();

    PollBusy = false;
    if (!closed_) Timer1->start();
}

void MainWindow::onceASecond() {
    // Elapsed time in unsigned arithmetic, so that neither a small tick count after boot
    // nor the wrap of the 32-bit count stops the work.
    if (clock_.tickCount() - LastSecondTick <= kOnceASecondMs) return;
    // A changed mark runs the box's click behaviour, as a user's click would.
    cbDisplay->setChecked(panel_ && panel_->isPanelVisible());
    chip_.enumerateDevices();
    LastSecondTick = clock_.tickCount();
}

void MainWindow::showDisplayState(DisplayState state) {
    StBar1->setPanelText(0, QString::fromLatin1(connectionText(state)));
    StBar1->setPanelText(1, QString::fromLatin1(supplyText(state)));
    const auto column = static_cast<std::size_t>(state);
    const bool continuous = CbBeriSkoz->isChecked();
    for (const auto& [widget, rule] : displayStateControls_)
        applyControlAction(widget, rule->actions[column], continuous);
    // Without an adapter nothing that the readout shows is current.
    if (state == DisplayState::NotConnected) blankReadout();
    if (state == DisplayState::NotConnected && shownState_ != DisplayState::NotConnected)
        chip_.readouts().adapterLost();
    shownState_ = state;
}

// Returns whether the settings may stay operable after the scan.
bool MainWindow::scanStep() {
    const chip::ScanResult scan = chip_.scan();
    if (scan.ok() && scan.newChip) RefreshSettingsPanel();
    return scan.ok();
}

void MainWindow::applySettingsStep(bool operable) {
    const bool continuous = CbBeriSkoz->isChecked();
    for (const auto& [widget, rule] : settingsControls_)
        applyControlAction(widget, operable ? rule->whenOperable : rule->otherwise, continuous);
}

bool MainWindow::WaitPollIdle() {
    return !PollBusy;
}

void MainWindow::pausePoll(std::function<void()> interrupted) {
    chipExchanges_.lend(std::move(interrupted));
}

void MainWindow::resumePoll() {
    chipExchanges_.returned();
}

void MainWindow::BtnONClick() {
    BtnON->setEnabled(false);
    if (WaitPollIdle()) {
        const ChipExchangeGuard exchange(chipExchanges_);
        // One chip answering is read again, at its old address or not.
        if (chip_.powerOn().ok()) RefreshSettingsPanel();
    }
    BtnON->setEnabled(true);
}

void MainWindow::BtnOFFClick() {
    const ChipExchangeGuard exchange(chipExchanges_);
    chip_.powerOff();
    blankReadout();
}

void MainWindow::blankReadout() {
    const QString blank = QStringLiteral("...");
    LblPosRel->setAnchoredText(blank);
    for (QLabel* label : {LblPosAbs, LblMagnetSt, LblAGCgain, LblTaho}) label->setText(blank);
}

}  // namespace qe::ui
