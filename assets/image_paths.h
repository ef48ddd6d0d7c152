#pragma once

// Where the main window's images live among the program's resources.
namespace qe::assets {

inline constexpr const char* kLogo = ":/images/logo.png";

// The settings toggle's four states.
inline constexpr const char* kToggleUp = ":/images/toggle_up.png";
inline constexpr const char* kToggleDisabled = ":/images/toggle_disabled.png";
inline constexpr const char* kToggleHeld = ":/images/toggle_held.png";
inline constexpr const char* kToggleDown = ":/images/toggle_down.png";

inline constexpr const char* kProgGlyph = ":/images/btn_prog.png";
inline constexpr const char* kReadGlyph = ":/images/btn_read.png";
inline constexpr const char* kSaveGlyph = ":/images/btn_save.png";
inline constexpr const char* kLoadGlyph = ":/images/btn_load.png";

}  // namespace qe::assets
