// Bringing the settings panel into line with the chip: the full re-read and the fill of
// every control from the register mirror.
#include <QComboBox>
#include <QLineEdit>

#include "chip_exchange_guard.h"
#include "main_window.h"
#include "radio_group.h"
#include "readout.h"

namespace qe::ui {

namespace {

const char* const kReadingFailed = "The reading was unsuccessful.";

// One control of the panel fill. Radio groups show the item of their setting group; the
// edit fields show `number` in decimal and the combo box selects the item `number` names.
struct FillStep {
    const char* control;
    const chip::Field* number = nullptr;
};

// The fill's order: a radio group that enables another is filled before it, and the
// derived values are set where their group is.
constexpr FillStep kFillSteps[] = {
    {"EdNaslovCipa", &chip::fields::ADDR},
    {"RgREG35"},
    {"RgPdee"},
    {"RgPDTR"},
    {"RgAGCDis"},
    {"RgPDint"},
    {"EdPosZ", &chip::fields::Zin},
    {"RgSign"},
    {"RgBufSel"},
    {"RgABRiDis"},
    {"RgACC"},
    {"cbHysteresis", &chip::fields::Hyst},
    {"RgUVW"},
    {"RgSTH"},
    {"RgSSI"},
    {"RgDAC"},
    {"RgDACT"},
};

}  // namespace

void MainWindow::RefreshSettingsPanel() {
    using chip::fields::Pdee;
    constexpr std::uint8_t kWord = Pdee.word;
    const ChipExchangeGuard exchange(chipExchanges_);
    const std::uint8_t address = link_.ChipAddress;
    auto& image = link_.image();

    // The chip may not answer a long read in autonomous power-down mode: switch that off
    // for the read and back on afterwards. Only a word that came from the chip goes back.
    const RegisterRead first = link_.ReadRegister(address, kWord);
    const bool pdeeWasOn = first.ok && chip::fieldValue(first.word, Pdee) != 0;
    if (pdeeWasOn) {
        image[kWord] = chip::withField(first.word, Pdee, 0);
        link_.WriteRegister(address, kWord, image[kWord]);
    }

    if (!link_.ReadAllRegisters(address)) {
        // Leave the chip's setting as the user had it, and the mirror with it.
        if (pdeeWasOn && link_.WriteRegister(address, kWord, first.word)) image[kWord] = first.word;
        link_.messages().show(MessageKind::Error, kReadingFailed);
        return;
    }
    if (pdeeWasOn) {
        image[kWord] = chip::withField(image[kWord], Pdee, 1);
        link_.WriteRegister(address, kWord, image[kWord]);
    }
    FillSettingsPanel();
}

void MainWindow::FillSettingsPanel() {
    const auto& image = link_.image();
    PanelReady = false;  // the selections below raise clicks that must not write

    for (const FillStep& step : kFillSteps) {
        QWidget* widget = control(step.control);
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            edit->setText(QString::number(chip::fieldValue(image, *step.number)));
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            combo->setCurrentIndex(chip::fieldValue(image, *step.number));
        else if (auto* group = qobject_cast<RadioGroup*>(widget))
            fillRadioGroup(*group, image);
    }

    showReadout(chip::decodeReadout(image, derived_), Fill::FromMirror);
    PanelReady = true;
}

void MainWindow::fillRadioGroup(RadioGroup& control, const RegisterImage& image) {
    const chip::SettingGroup* group = chip::findSettingGroup(control.objectName().toStdString());
    if (!group) return;
    control.setItemIndex(chip::itemShown(*group, image));
    // Derived values and dependent groups follow what the group now shows.
    const int shown = control.itemIndex();
    if (shown >= 0)
        chip::updateDerived(derived_, group->derived, chip::valueForItem(group->mapping, shown));
    for (const auto& dependent : group->dependents)
        if (RadioGroup* dependentGroup = radioGroup(QString::fromLatin1(dependent.control)))
            dependentGroup->setEnabled(chip::dependentEnabled(dependent, shown));
}

}  // namespace qe::ui
