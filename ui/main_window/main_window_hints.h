#pragma once

class QWidget;

namespace qe::ui {

inline constexpr int kHintDurationMs = 7000;

// Sets the designed hint of every control that has one, each shown for 7 s.
void applyControlHints(QWidget* window);

}  // namespace qe::ui
