// The live readout: output registers to texts, colours, the compact display and the
// analogue panel's needles; and the display-mode buttons.
#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>
#include <optional>

#include "analogue_panel_view.h"
#include "chip_exchange_guard.h"
#include "main_window.h"
#include "readout.h"
#include "readout_colours.h"
#include "readout_loop.h"
#include "right_anchored_label.h"

namespace qe::ui {

namespace {

constexpr int kLiveDegreesDecimals = 2;
constexpr int kFilledDegreesDecimals = 4;
constexpr int kFilledPositionPointSize = 28;
constexpr int kWakeThresholdCounts = 10;

void setTextColour(QLabel* label, bool alarm) {
    const QColor colour = alarm ? kAlarmRed : kReadoutBlue;
    // A new palette costs a style update; the readout sets the same colour 15 times a second.
    if (label->palette().color(QPalette::WindowText) == colour) return;
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

void MainWindow::RefreshReadout() {
    const ChipExchangeGuard exchange(chipExchanges_);
    // The core's readout loop reads, stamps and hands the readout on to the windows that
    // watch; they never cause an exchange.
    const std::optional<chip::ReadoutSample> sample = chip_.readouts().step();
    if (!sample) {
        // Colours, the compact display and the needles keep what they showed.
        blankReadout();
        return;
    }
    showReadout(sample->readout, Fill::Live);
    wakeScreenSaver(sample->readout.counts);
}

// A label whose text or colour changed is painted once after the tick, the others not at
// all; painting here at once would also paint the box behind them, 15 times a second.
void MainWindow::showReadout(const chip::Readout& readout, Fill fill) {
    if (fill == Fill::FromMirror) {
        QFont font = LblPosRel->font();
        font.setPointSize(kFilledPositionPointSize);
        LblPosRel->setFont(font);
    }
    setTextColour(LblPosRel, readout.relPosAlarm);
    showDisplayModeTexts(readout,
                         fill == Fill::FromMirror ? kFilledDegreesDecimals : kLiveDegreesDecimals);

    setTextColour(LblPosAbs, readout.absPosAlarm);
    LblPosAbs->setText(text(chip::absoluteText(readout)));
    setTextColour(LblMagnetSt, readout.magnetStatus != 0);
    LblMagnetSt->setText(text(chip::magnetStatusText(readout.magnetStatus)));
    LblTaho->setText(text(chip::tachoText(readout)));
    setTextColour(LblTaho, readout.tachoAlarm);
    LblAGCgain->setText(text(chip::agcText(readout)));
    if (panel_) panel_->UpdateNeedles(readout.positionFraction, readout.tachoFraction);
}

void MainWindow::showDisplayModeTexts(const chip::Readout& readout, int degreesDecimals) {
    if (RbNumber->isChecked()) {
        LblPosRel->setAnchoredText(text(chip::countsText(readout)));
        LabelPOSInc->setAnchoredText(LblPosRel->text());
        LabelPOSdeg->setAnchoredText(text(chip::degreesText(readout, kLiveDegreesDecimals)));
    } else if (Rbdegrees->isChecked()) {
        LblPosRel->setAnchoredText(text(chip::degreesText(readout, degreesDecimals)));
        LabelPOSdeg->setAnchoredText(LblPosRel->text());
        LabelPOSInc->setAnchoredText(
            text(chip::countsOfRangeText(readout, chip_.derived().ResolutionCounts)));
    }
}

void MainWindow::wakeScreenSaver(int counts) {
    // Counts of the selected resolution; slow movement adds up until it passes the threshold.
    if (std::abs(counts - LastWakePosition) <= kWakeThresholdCounts) return;
    LastWakePosition = counts;
    if (screenSaver_.isRunning()) screenSaver_.wakeUp();
}

void MainWindow::RbNumberClick() {
    showDisplayMode();
}

void MainWindow::RbdegreesClick() {
    showDisplayMode();
}

void MainWindow::showDisplayMode() {
    showDisplayModeTexts(chip::decodeReadout(chip_.image(), chip_.derived()), kLiveDegreesDecimals);
}

void MainWindow::CbBeriSkozClick() {
    Btn_AR_pos->setEnabled(!CbBeriSkoz->isChecked());
}

void MainWindow::Btn_AR_posClick() {
    RefreshReadout();
}

}  // namespace qe::ui
