// Bringing the settings panel into line with the chip: the full re-read and the fill of
// every control from the register mirror.
#include <QComboBox>
#include <QLineEdit>

#include "main_window.h"
#include "radio_group.h"
#include "readout.h"

namespace qe::ui {

namespace {

const char* const kReadingFailed = "The reading was unsuccessful.";

}  // namespace

void MainWindow::RefreshSettingsPanel() {
    using chip::fields::Pdee;
    constexpr std::uint8_t kWord = Pdee.word;
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
        // Leave the chip's setting as the user had it.
        if (pdeeWasOn) link_.WriteRegister(address, kWord, first.word);
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
    using namespace chip::fields;
    const auto& image = link_.image();
    PanelReady = false;  // the selections below raise clicks that must not write

    EdNaslovCipa->setText(QString::number(chip::fieldValue(image, ADDR)));
    EdPosZ->setText(QString::number(chip::fieldValue(image, Zin)));
    cbHysteresis->setCurrentIndex(chip::fieldValue(image, Hyst));

    for (const auto& group : chip::settingGroups()) {
        RadioGroup* control = radioGroup(QString::fromLatin1(group.control));
        if (!control) continue;
        control->setItemIndex(chip::itemShown(group, image));
        // Derived values and dependent groups follow what the group now shows.
        const int shown = control->itemIndex();
        if (shown >= 0) chip::updateDerived(derived_, group.derived, chip::valueForItem(group.mapping, shown));
        for (const auto& dependent : group.dependents)
            if (auto* dependentGroup = radioGroup(QString::fromLatin1(dependent.control)))
                dependentGroup->setEnabled(chip::dependentEnabled(dependent, shown));
    }

    showReadout(chip::decodeReadout(image, derived_), Fill::FromMirror);
    PanelReady = true;
}

}  // namespace qe::ui
