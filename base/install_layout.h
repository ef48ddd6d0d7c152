#pragma once

#include <QString>

namespace qe {

// Where an installed program finds its files: relative to the folder that holds the program,
// so that an installation moved elsewhere as a whole still finds them.

// The run-time data (the panel's dial and needle images), e.g. /usr/share/qe7204-tool for a
// program in /usr/bin.
QString installedDataFolder(const QString& programFolder);

// The documentation (README.md), e.g. /usr/share/doc/qe7204-tool.
QString installedDocFolder(const QString& programFolder);

// True when the program in that folder runs from an installation (its data folder is there),
// false when it runs from a build folder.
bool isInstalledProgramFolder(const QString& programFolder);

}  // namespace qe
