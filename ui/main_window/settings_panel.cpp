// Bringing the settings panel into line with the chip: the full re-read and the fill of
// every control from the register mirror.
#include <QComboBox>
#include <QLineEdit>
#include <optional>
#include <string_view>

#include "chip_exchange_guard.h"
#include "main_window.h"
#include "power_down_pause.h"
#include "radio_group.h"
#include "readout.h"
#include "settings_messages.h"

namespace qe::ui {

namespace {

// A control that shows a field's value: an edit field in decimal, the combo box as the item
// the value names. It is filled just before the radio group `before`; the radio groups are
// filled in their own order.
struct ValueFill {
    const char* control;
    chip::Field field;
    const char* before;
};

constexpr ValueFill kValueFills[] = {
    {"EdNaslovCipa", chip::fields::ADDR, "RgREG35"},
    {"EdPosZ", chip::fields::Zin, "RgSign"},
    {"cbHysteresis", chip::fields::Hyst, "RgUVW"},
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
    const std::uint8_t address = link_.ChipAddress;

    // Only a word that came from the chip goes back to it.
    const std::optional<std::uint16_t> modeWord = chip::pausePowerDown(link_, address);
    const bool read = link_.ReadAllRegisters(address);
    // After a failure the chip's setting stays as the user had it, and the mirror with it.
    if (modeWord) chip::resumePowerDown(link_, address, read, *modeWord);
    if (!read) {
        link_.messages().show(MessageKind::Error, kReadingFailed);
        return;
    }
    FillSettingsPanel();
}

void MainWindow::FillSettingsPanel() {
    const auto& image = link_.image();
    PanelReady = false;  // the selections below raise clicks that must not write

    for (const chip::SettingGroup& group : chip::settingGroups()) {
        for (const ValueFill& value : kValueFills)
            if (std::string_view(value.before) == group.control)
                showValue(control(value.control), chip::fieldValue(image, value.field));
        if (RadioGroup* radio = radioGroup(QString::fromLatin1(group.control))) {
            radio->setItemIndex(chip::itemShown(group, image));
            showGroupItem(group, radio->itemIndex());
        }
    }

    showReadout(chip::decodeReadout(image, derived_), Fill::FromMirror);
    PanelReady = true;
}

void MainWindow::showGroupItem(const chip::SettingGroup& group, int item) {
    if (item >= 0)
        chip::updateDerived(derived_, group.derived, chip::valueForItem(group.mapping, item));
    for (const auto& dependent : group.dependents)
        if (RadioGroup* dependentGroup = radioGroup(QString::fromLatin1(dependent.control)))
            dependentGroup->setEnabled(chip::dependentEnabled(dependent, item));
}

}  // namespace qe::ui
