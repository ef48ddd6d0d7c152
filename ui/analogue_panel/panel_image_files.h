#pragma once

#include <QString>

namespace qe::ui {

// The panel's image files, opened by their bare names.
inline constexpr const char* kPositionDialFile = "bckg_pos.jpg";
inline constexpr const char* kTachoDialFile = "bckg_tah.jpg";
inline constexpr const char* kNeedleFile = "kaz.bmp";

// Where the file with that bare name is: in the current directory, else beside the program,
// else in the installed data folder (share/qe7204-tool, found from the program's folder), so
// the tool finds its images whichever directory it was started from, built or installed.
// Empty when it is in none of them.
QString locatePanelImage(const QString& bareName);

// The same for a program in `programFolder`.
QString locatePanelImage(const QString& bareName, const QString& programFolder);

}  // namespace qe::ui
