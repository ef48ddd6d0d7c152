#include "install_layout.h"

#include <QDir>
#include <QFileInfo>

namespace qe {

namespace {

QString besideProgram(const QString& programFolder, const char* relativePath) {
    return QDir::cleanPath(QDir(programFolder).absoluteFilePath(QString::fromUtf8(relativePath)));
}

}  // namespace

QString installedDataFolder(const QString& programFolder) {
    return besideProgram(programFolder, QE7204_DATA_FROM_BIN);
}

QString installedDocFolder(const QString& programFolder) {
    return besideProgram(programFolder, QE7204_DOC_FROM_BIN);
}

bool isInstalledProgramFolder(const QString& programFolder) {
    return !programFolder.isEmpty() && QFileInfo(installedDataFolder(programFolder)).isDir();
}

}  // namespace qe
