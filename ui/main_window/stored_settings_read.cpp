// Reading the EEPROM's settings words for the comparison with the working registers: an
// action of its own, never part of a designed sequence.
#include "chip_exchange_guard.h"
#include "main_window.h"

namespace qe::ui {

namespace {

constexpr std::uint8_t kStoredSettingsWords = 4;  // the EEPROM copies of words 48..51

}  // namespace

bool MainWindow::readStoredSettings() {
    if (!WaitPollIdle()) return false;
    const ChipExchangeGuard exchange(chipExchanges_);
    for (std::uint8_t word = 0; word < kStoredSettingsWords; ++word)
        if (!session_.link().ReadRegister(session_.chipAddress(), word)) return false;
    return true;
}

}  // namespace qe::ui
