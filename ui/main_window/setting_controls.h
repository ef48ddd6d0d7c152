#pragma once

#include <string_view>

#include "field_catalogue.h"

namespace qe::ui {

// The radio group that shows a setting group, by the group's key ("RgACC" for "Res").
const char* settingControlName(std::string_view key);

// The setting group a radio group shows; nullptr for any other control.
const chip::SettingGroup* settingGroupForControl(std::string_view control);

}  // namespace qe::ui
