#pragma once

#include <array>
#include <vector>

class QWidget;

namespace qe::ui {

// What the poll cycle shows, from the connection check and the supply state.
enum class DisplayState { NotConnected, NotPowered, Powered };

DisplayState displayStateFor(bool connected, bool chipPowered);
const char* connectionText(DisplayState state);  // status bar panel 0
const char* supplyText(DisplayState state);      // status bar panel 1

// What one rule does to its controls.
enum class ControlAction {
    Keep,  // not touched
    Enable,
    Disable,
    EnableUnlessContinuous,  // enabled exactly while "Continuously" is not checked
    Show,
    Hide,
};

struct DisplayStateRule {
    std::vector<const char*> controls;
    std::array<ControlAction, 3> actions;  // indexed by DisplayState
};

// The controls that every tick sets by its display state. The readout labels, which lose
// their texts without a connection, the window blanks itself, as a failed read does.
const std::vector<DisplayStateRule>& displayStateRules();

struct SettingsRule {
    std::vector<const char*> controls;
    ControlAction whenOperable;  // exactly one chip answered and the supply is on
    ControlAction otherwise;
};

// The settings controls that every tick enables or disables as a block.
const std::vector<SettingsRule>& settingsRules();

// A rule's control, found once by name, and the rule that sets it.
template <typename Rule>
struct BoundControl {
    QWidget* control;
    const Rule* rule;
};

// Finds the controls of every rule, in the rules' order, by `find` (name to widget);
// a name that finds no control drops out.
template <typename Rule, typename Find>
std::vector<BoundControl<Rule>> bindRuleControls(const std::vector<Rule>& rules, Find find) {
    std::vector<BoundControl<Rule>> bound;
    for (const Rule& rule : rules)
        for (const char* name : rule.controls)
            if (QWidget* control = find(name)) bound.push_back({control, &rule});
    return bound;
}

// Carries out one action on one control; `continuous` is the state of "Continuously".
void applyControlAction(QWidget* control, ControlAction action, bool continuous);

}  // namespace qe::ui
