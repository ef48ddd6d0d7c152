// Bringing the settings panel into line with the chip: the full re-read and the fill of
// every control from the register mirror.
#include <QComboBox>
#include <QLineEdit>
#include <string_view>

#include "analogue_panel_view.h"
#include "chip_exchange_guard.h"
#include "main_window.h"
#include "radio_group.h"
#include "readout.h"
#include "setting_controls.h"

namespace qe::ui {

namespace {

// A control that shows a field's value: an edit field in decimal, the combo box as the item
// the value names. It is filled just before the setting group `before`; the radio groups
// are filled in their own order.
struct ValueFill {
    const char* control;
    chip::Field field;
    const char* before;
};

constexpr ValueFill kValueFills[] = {
    {"EdNaslovCipa", chip::fields::ADDR, "Reg35"},
    {"EdPosZ", chip::fields::Zin, "Sign"},
    {"cbHysteresis", chip::fields::Hyst, "UVW"},
};

void showValue(QWidget* control, std::uint16_t value) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(QString::number(value));
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setCurrentIndex(value);
}

}  // namespace

void MainWindow::RefreshSettingsPanel() {
    const ChipExchangeGuard exchange(chipExchanges_);
    if (chip_.refreshSettings().ok()) FillSettingsPanel();
}

void MainWindow::FillSettingsPanel() {
    const auto& image = chip_.image();
    const double tachoRangeBefore = chip_.derived().TachoRangeHz;
    PanelReady = false;  // the selections below raise clicks that must not write

    for (const chip::SettingGroup& group : chip::settingGroups()) {
        for (const ValueFill& value : kValueFills)
            if (std::string_view(value.before) == group.key)
                showValue(control(value.control), chip::fieldValue(image, value.field));
        if (RadioGroup* radio = radioGroup(QString::fromLatin1(settingControlName(group.key)))) {
            radio->setItemIndex(chip::itemShown(group, image));
            showDependents(group, radio->itemIndex());
        }
    }

    // The derived values follow the selections just shown.
    chip_.deriveFromMirror();
    showReadout(chip::decodeReadout(image, chip_.derived()), Fill::FromMirror);
    PanelReady = true;
    // A tacho scale drawn before the range was known (a layout restored at start-up) reads
    // "0 Hz" at every label until it is drawn again.
    if (chip_.derived().TachoRangeHz != tachoRangeBefore && panel_ && panel_->showsTachoScale())
        panel_->SkalaJeTaho();
}

void MainWindow::showDependents(const chip::SettingGroup& group, int item) {
    for (const auto& dependent : group.dependents)
        if (RadioGroup* dependentGroup =
                radioGroup(QString::fromLatin1(settingControlName(dependent.key))))
            dependentGroup->setEnabled(chip::dependentEnabled(dependent, item));
}

}  // namespace qe::ui
