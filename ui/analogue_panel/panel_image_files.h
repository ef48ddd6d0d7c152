#pragma once

#include <QString>

namespace qe::ui {

// The panel's image files, opened by their bare names.
inline constexpr const char* kPositionDialFile = "bckg_pos.jpg";
inline constexpr const char* kTachoDialFile = "bckg_tah.jpg";
inline constexpr const char* kNeedleFile = "kaz.bmp";

// Where the file with that bare name is: in the current directory or, failing that, beside
// the program, so the tool finds its images whichever directory it was started from.
// Empty when it is in neither.
QString locatePanelImage(const QString& bareName);

}  // namespace qe::ui
