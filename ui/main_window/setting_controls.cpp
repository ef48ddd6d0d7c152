#include "setting_controls.h"

namespace qe::ui {

namespace {

struct SettingControl {
    const char* key;
    const char* control;
};

constexpr SettingControl kSettingControls[] = {
    {"Reg35", "RgREG35"}, {"Pdee", "RgPdee"}, {"Pdtr", "RgPDTR"},     {"AGCdis", "RgAGCDis"},
    {"Pdint", "RgPDint"}, {"Sign", "RgSign"}, {"BufSel", "RgBufSel"}, {"Abridis", "RgABRiDis"},
    {"Res", "RgACC"},     {"UVW", "RgUVW"},   {"Sth", "RgSTH"},       {"SSIcfg", "RgSSI"},
    {"Dac", "RgDAC"},     {"Dact", "RgDACT"},
};

}  // namespace

const char* settingControlName(std::string_view key) {
    for (const SettingControl& setting : kSettingControls)
        if (key == setting.key) return setting.control;
    return "";
}

const chip::SettingGroup* settingGroupForControl(std::string_view control) {
    for (const SettingControl& setting : kSettingControls)
        if (control == setting.control) return chip::findSettingGroup(setting.key);
    return nullptr;
}

}  // namespace qe::ui
