#pragma once

namespace qe::ui {

// Shown when the chip's settings cannot be read into the panel.
inline constexpr const char* kReadingFailed = "The reading was unsuccessful.";

}  // namespace qe::ui
