#include "panel_image_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace qe::ui {

QString locatePanelImage(const QString& bareName) {
    if (QFileInfo(bareName).isFile()) return bareName;
    const QString besideProgram = QDir(QCoreApplication::applicationDirPath()).filePath(bareName);
    if (QFileInfo(besideProgram).isFile()) return besideProgram;
    return {};
}

}  // namespace qe::ui
