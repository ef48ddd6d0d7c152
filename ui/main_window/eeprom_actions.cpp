// PROG stores the working words in the EEPROM and verifies them; READ brings the stored
// settings back. The panel shows the mirror afterwards.
#include <QPushButton>

#include "chip_exchange_guard.h"
#include "main_window.h"

namespace qe::ui {

void MainWindow::BtnProgClick() {
    BtnProg->setEnabled(false);
    if (!WaitPollIdle()) {
        BtnProg->setEnabled(true);
        return;
    }
    const ChipExchangeGuard exchange(chipExchanges_);
    const chip::Result result = chip_.programEeprom();
    FillSettingsPanel();
    // After a failure the poll cycle enables the button again while one chip answers.
    if (result.ok()) BtnProg->setEnabled(true);
}

void MainWindow::BtnReadClick() {
    BtnRead->setEnabled(false);
    {
        const ChipExchangeGuard exchange(chipExchanges_);
        if (chip_.readEeprom().ok()) FillSettingsPanel();
    }
    BtnRead->setEnabled(true);
}

}  // namespace qe::ui
