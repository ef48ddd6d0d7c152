#pragma once

#include <QString>

namespace qe::ui {

// What the logo's hint says it opens.
inline constexpr const char* kDocumentationHint =
    "Opens this tool's documentation (README.md) in your desktop's viewer.";

// The tool's own documentation for a program in `programFolder`: the README.md beside the
// program (the build puts a copy there), else the installed copy, share/doc/qe7204-tool/
// README.md under the prefix whose bin/ holds the program. Empty when there is neither.
QString projectDocumentation(const QString& programFolder);

}  // namespace qe::ui
