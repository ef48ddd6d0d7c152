// The settings that are typed or chosen rather than clicked: the bus address, the zero
// position (typed, or taken from the current position) and the digital hysteresis.
#include <QComboBox>
#include <QLineEdit>

#include "chip_exchange_guard.h"
#include "main_window.h"
#include "messages.h"

namespace qe::ui {

void MainWindow::setBackAndFocus(QWidget& control, const std::function<void()>& setBack) {
    setBack();
    control.setFocus();
}

void MainWindow::BtnSetAddressClick() {
    changeAddress();
}
void MainWindow::EdNaslovCipaExit() {
    changeAddress();
}

void MainWindow::changeAddress() {
    if (!PanelReady) return;
    if (!WaitPollIdle()) return;
    const ChipExchangeGuard exchange(chipExchanges_);
    const auto entered = chip_.checkAddress(EdNaslovCipa->text().toStdString());
    if (!entered.ok()) {
        return setBackAndFocus(
            *EdNaslovCipa, [this] { EdNaslovCipa->setText(QString::number(chip_.chipAddress())); });
    }
    // The field shows the value before the chip is asked.
    EdNaslovCipa->setText(QString::number(entered.value));
    if (!chip_.setAddress(entered.value).ok()) EdNaslovCipa->setFocus();
}

void MainWindow::BtnPresetZeroClick() {
    presetZero();
}
void MainWindow::EdPosZExit() {
    presetZero();
}

void MainWindow::presetZero() {
    if (!PanelReady) return;
    if (!WaitPollIdle()) return;
    const ChipExchangeGuard exchange(chipExchanges_);
    // The field keeps the text as typed.
    const chip::Result result = chip_.presetZero(EdPosZ->text().toStdString());
    if (result.outcome == chip::Outcome::InputRefused) {
        setBackAndFocus(*EdPosZ, [this] {
            EdPosZ->setText(QString::number(chip::fieldValue(chip_.image(), chip::fields::Zin)));
        });
    }
}

void MainWindow::BtnZeroCurrentPosClick() {
    ZeroAtCurrentPosition(chip::messages::kZeroHereFailed);
}

void MainWindow::ZeroAtCurrentPosition(const char* failureMessage) {
    const ChipExchangeGuard exchange(chipExchanges_);
    if (const auto zin = chip_.zeroAtCurrentPosition(failureMessage); zin.ok())
        EdPosZ->setText(QString::number(zin.value));
}

void MainWindow::ButtonSetHysteresisClick() {
    if (!PanelReady) return;
    if (!WaitPollIdle()) return;
    const ChipExchangeGuard exchange(chipExchanges_);
    // Text typed into the box counts only when it is one of the items.
    const int item = cbHysteresis->findText(cbHysteresis->currentText());
    const chip::Result result = chip_.setHysteresis(item);
    if (result.outcome == chip::Outcome::InputRefused) {
        setBackAndFocus(*cbHysteresis, [this] {
            cbHysteresis->setCurrentIndex(chip::fieldValue(chip_.image(), chip::fields::Hyst));
        });
    }
}

}  // namespace qe::ui
