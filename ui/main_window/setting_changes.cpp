// The radio groups of the settings panel: each changes one field of one working register
// by read-modify-write, the moment the user chooses an item.
#include "analogue_panel_view.h"
#include "chip_exchange_guard.h"
#include "main_window.h"

namespace qe::ui {

void MainWindow::RadioGroupClick(const chip::SettingGroup& group, int item) {
    // Filling the panel selects items too; those clicks are not the user's.
    if (!PanelReady) return;
    if (!WaitPollIdle()) return;
    const ChipExchangeGuard exchange(chipExchanges_);

    // The dependent groups follow the choice whatever the chip makes of it.
    showDependents(group, item);
    if (!chip_.changeSetting(group, item).ok()) return;
    if (group.derived == chip::Derived::TachoRange && panel_ && panel_->showsTachoScale())
        panel_->SkalaJeTaho();
}

}  // namespace qe::ui
