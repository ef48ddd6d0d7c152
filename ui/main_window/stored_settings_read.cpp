// Reading the EEPROM's settings words for the comparison with the working registers: an
// action of its own, never part of a designed sequence.
#include "chip_exchange_guard.h"
#include "main_window.h"

namespace qe::ui {

bool MainWindow::readStoredSettings() {
    if (!WaitPollIdle()) return false;
    const ChipExchangeGuard exchange(chipExchanges_);
    return chip_.readStoredSettings().ok();
}

}  // namespace qe::ui
