#include "control_states.h"

#include <QWidget>
#include <string_view>

#include "field_catalogue.h"
#include "setting_controls.h"

namespace qe::ui {

namespace {

using A = ControlAction;

bool followsAnotherGroup(std::string_view key) {
    for (const chip::SettingGroup& group : chip::settingGroups())
        for (const chip::DependentControl& dependent : group.dependents)
            if (dependent.key == key) return true;
    return false;
}

// The radio groups whose enabled state follows another group's choice, or all the others.
std::vector<const char*> radioGroups(bool followingAnother) {
    std::vector<const char*> controls;
    for (const chip::SettingGroup& group : chip::settingGroups())
        if (followsAnotherGroup(group.key) == followingAnother)
            controls.push_back(settingControlName(group.key));
    return controls;
}

}  // namespace

DisplayState displayStateFor(bool connected, bool chipPowered) {
    if (!connected) return DisplayState::NotConnected;
    return chipPowered ? DisplayState::Powered : DisplayState::NotPowered;
}

const char* connectionText(DisplayState state) {
    return state == DisplayState::NotConnected ? "Interface not connected" : "Interface connected";
}

const char* supplyText(DisplayState state) {
    switch (state) {
        case DisplayState::NotConnected:
            return "";
        case DisplayState::NotPowered:
            return "Chip is not powered";
        case DisplayState::Powered:
            return "Chip is powered";
    }
    return "";
}

const std::vector<DisplayStateRule>& displayStateRules() {
    //                                 Not connected  Not powered   Powered
    static const std::vector<DisplayStateRule> rules = {
        {{"BtnON"}, {A::Disable, A::Enable, A::Disable}},
        {{"BtnOFF"}, {A::Disable, A::Disable, A::Enable}},
        {{"BtnProg", "BtnRead", "BtnSave", "BtnLoad"}, {A::Disable, A::Disable, A::Keep}},
        {{"Btn_AR_pos"}, {A::Disable, A::Disable, A::EnableUnlessContinuous}},
        {{"CbBeriSkoz"}, {A::Disable, A::Disable, A::Keep}},
        {{"GbRelativePosition"}, {A::Keep, A::Disable, A::Enable}},
        {{"RbNumber", "Rbdegrees"}, {A::Disable, A::Disable, A::Enable}},
        {{"LabelPOSdeg", "LabelPOSInc"}, {A::Hide, A::Hide, A::Show}},
    };
    return rules;
}

const std::vector<SettingsRule>& settingsRules() {
    static const std::vector<SettingsRule> rules = {
        {radioGroups(/*followingAnother=*/false), A::Enable, A::Disable},
        {{"GbChipAddress", "EdNaslovCipa", "BtnDolociNaslov"}, A::Enable, A::Disable},
        {{"EdPosZ", "BtnPresetZero", "BtnZeroCurrentPos"}, A::Enable, A::Disable},
        {{"cbHysteresis", "ButtonSetHysteresis"}, A::Enable, A::Disable},
        {{"BtnProg", "BtnRead", "BtnSave", "BtnLoad"}, A::Enable, A::Disable},
        {{"CbBeriSkoz"}, A::Enable, A::Disable},
        // These follow other settings; only filling the panel or changing a setting enables them.
        {radioGroups(/*followingAnother=*/true), A::Keep, A::Disable},
    };
    return rules;
}

void applyControlAction(QWidget* control, ControlAction action, bool continuous) {
    if (!control) return;
    switch (action) {
        case A::Keep:
            break;
        case A::Enable:
            control->setEnabled(true);
            break;
        case A::Disable:
            control->setEnabled(false);
            break;
        case A::EnableUnlessContinuous:
            control->setEnabled(!continuous);
            break;
        case A::Show:
            control->setVisible(true);
            break;
        case A::Hide:
            control->setVisible(false);
            break;
    }
}

}  // namespace qe::ui
