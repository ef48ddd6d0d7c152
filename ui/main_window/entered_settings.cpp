// The settings that are typed or chosen rather than clicked: the bus address, the zero
// position (typed, or taken from the current position) and the digital hysteresis.
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <functional>

#include "chip_exchange_guard.h"
#include "field_change.h"
#include "main_window.h"
#include "zero_at_current_position.h"

namespace qe::ui {

namespace {

using chip::fields::ADDR;
using chip::fields::Hyst;
using chip::fields::Zin;

const char* const kNumbersOnly = "Please enter numbers only.";
const char* const kAddressRange = "The address must be between 0 and 127";
const char* const kAddressFailed = "The address change was unsuccessful.";
const char* const kZeroRange = "The value must be between 0 and 4095.";
const char* const kZeroFailed = "The zero position change was unsuccessful.";
const char* const kZeroHereFailed = "Setting current position as zero position was unsuccessful.";
const char* const kHysteresisFailed = "The Digital hyseresis change was unsuccessful.";

struct EnteredNumber {
    bool digitsOnly = true;
    bool empty = true;
    unsigned value = 0;  // stops growing far above any field's range
};

EnteredNumber parseEntered(const QString& text) {
    constexpr unsigned kCeiling = 1'000'000;
    EnteredNumber entered{true, text.isEmpty(), 0};
    for (const QChar c : text) {
        // Only the ASCII digits: other scripts' digits are not numbers here.
        if (c < u'0' || c > u'9') return {false, false, 0};
        entered.value = std::min(entered.value * 10 + (c.unicode() - u'0'), kCeiling);
    }
    return entered;
}

// Input errors never reach the chip: the message, the control set back to what the chip
// holds, and the focus back in it.
void refuseInput(MessageSink& messages, const char* message, QWidget& control,
                 const std::function<void()>& setBack) {
    messages.show(MessageKind::Error, message);
    setBack();
    control.setFocus();
}

}  // namespace

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
    const auto refuse = [this](const char* message) {
        refuseInput(link_.messages(), message, *EdNaslovCipa,
                    [this] { EdNaslovCipa->setText(QString::number(link_.ChipAddress)); });
    };
    const EnteredNumber entered = parseEntered(EdNaslovCipa->text());
    if (!entered.digitsOnly) return refuse(kNumbersOnly);
    const unsigned value = entered.empty ? link_.ChipAddress : entered.value;
    if (value > ADDR.maxValue()) return refuse(kAddressRange);
    EdNaslovCipa->setText(QString::number(value));

    // The chip answers at its new address as soon as it has it, so the word is not read back.
    const std::uint8_t address = link_.ChipAddress;
    const RegisterRead current = link_.ReadRegister(address, ADDR.word);
    const std::uint16_t word =
        chip::withField(current.word, ADDR, static_cast<std::uint16_t>(value));
    if (current && link_.WriteRegister(address, ADDR.word, word)) {
        link_.image()[ADDR.word] = word;
        link_.ChipAddress = static_cast<std::uint8_t>(value);
        return;
    }
    link_.messages().show(MessageKind::Error, kAddressFailed);
    EdNaslovCipa->setFocus();
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
    const auto refuse = [this](const char* message) {
        refuseInput(link_.messages(), message, *EdPosZ, [this] {
            EdPosZ->setText(QString::number(chip::fieldValue(link_.image(), Zin)));
        });
    };
    const EnteredNumber entered = parseEntered(EdPosZ->text());
    if (!entered.digitsOnly) return refuse(kNumbersOnly);
    if (entered.value > Zin.maxValue()) return refuse(kZeroRange);
    // The field keeps the text as typed.
    if (!chip::changeField(link_, Zin, static_cast<std::uint16_t>(entered.value)))
        link_.messages().show(MessageKind::Error, kZeroFailed);
}

void MainWindow::BtnZeroCurrentPosClick() {
    ZeroAtCurrentPosition(kZeroHereFailed);
}

void MainWindow::ZeroAtCurrentPosition(const char* failureMessage) {
    const ChipExchangeGuard exchange(chipExchanges_);
    if (const auto zin = chip::zeroAtCurrentPosition(link_, failureMessage))
        EdPosZ->setText(QString::number(*zin));
}

void MainWindow::ButtonSetHysteresisClick() {
    if (!PanelReady) return;
    if (!WaitPollIdle()) return;
    const ChipExchangeGuard exchange(chipExchanges_);
    // Text typed into the box counts only when it is one of the items.
    const int item = cbHysteresis->findText(cbHysteresis->currentText());
    if (item < 0) {
        return refuseInput(link_.messages(), kNumbersOnly, *cbHysteresis, [this] {
            cbHysteresis->setCurrentIndex(chip::fieldValue(link_.image(), Hyst));
        });
    }
    if (!chip::changeField(link_, Hyst, static_cast<std::uint16_t>(item)))
        link_.messages().show(MessageKind::Error, kHysteresisFailed);
}

}  // namespace qe::ui
