#include "main_window_hints.h"

#include <QWidget>

namespace qe::ui {

namespace {

struct Hint {
    const char* control;
    const char* text;
};

const Hint kHints[] = {
    {"Btn_AR_pos", "Refreshes the data."},
    {"CbBeriSkoz", "Enables the continious data refrsh. The refresh rate is 50ms."},
    {"cbDisplay", "Graphical interpretation of the relative position and tacho."},
    {"GbRelativePosition", "Relative position."},
    {"RbNumber",
     "Relative position will be shown in number. The current resolution defines the range."},
    {"Rbdegrees", "The relative position will be shown in degrees."},
    {"GbAbsolutePosition", "Absolute position."},
    {"GbTachoInf", "Speed information. The full range can be selected from 16Hz to 2048Hz."},
    {"GbMagnetStatus", "The status of magnetic signal."},
    {"GbAGCgain", "The AGC gain status."},
    {"BtnON", "Turn the supply voltage ON."},
    {"BtnOFF", "Turn the supply voltage OFF"},
    {"BtnProg", "Store the settings in EEPROM"},
    {"BtnRead",
     "Read the settings stored in EEPROM. The registers are updated according to the EEPROM "
     "contents."},
    {"BtnSave", "Saves the current settings from registers to the file."},
    {"BtnLoad", "Loads the settings from the file to the registers."},
    {"BtnDolociNaslov", "Sets the new address. The addres can be in a range between 0 and 127."},
    {"BtnPresetZero", "Sets the new zero position"},
    {"BtnZeroCurrentPos", "Sets the current position to zero"},
    {"RgACC", "Selects the interpolation factor."},
    {"RgREG35",
     "Selects the regulator voltage. If 5V power supply is used than 3.3V is recommended. If 3.3V "
     "supply is used than 3V settings is recomended."},
    {"RgPdee", "Enables the autonomous power down mode."},
    {"RgPDTR", "Selects the power down duty ratio between active and non-active time."},
    {"RgBufSel",
     "Selects the outputs on the W/Ncos, V/PSin, U/NSin, Td/PCos pins. If the diferentiall "
     "analogue "
     "outputs are not used than it is recommended to set the outputs as UVW."},
    {"RgUVW", "Selects the number of UVW pole pairs"},
    {"RgSign", "Select the output direction."},
    {"RgDACT", "Selects the output on Vout/Tout pin."},
    {"RgDAC", "Selects the number of period of linear voltage output per revolution."},
    {"RgSTH",
     "Selects the tacho meassuring range. Use lower resolution settings at higher meassuring "
     "ranges."},
    {"RgSSI", "Selects the SSI mode"},
    {"RgAGCDis", "Disables or enables the AGC"},
    {"RgPDint", "Interpolator can be switched off if it is not used."},
    {"RgABRiDis", "Incremental outputs can be switched off if not used."},
};

}  // namespace

void applyControlHints(QWidget* window) {
    for (const auto& hint : kHints) {
        if (auto* control = window->findChild<QWidget*>(QString::fromLatin1(hint.control))) {
            control->setToolTip(QString::fromUtf8(hint.text));
            control->setToolTipDuration(kHintDurationMs);
        }
    }
}

}  // namespace qe::ui
