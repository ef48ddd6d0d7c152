#include "project_documentation.h"

#include <QDir>
#include <QFileInfo>

#include "install_layout.h"

namespace qe::ui {

QString projectDocumentation(const QString& programFolder) {
    for (const QString& folder : {programFolder, installedDocFolder(programFolder)}) {
        const QFileInfo candidate(QDir(folder).filePath(QStringLiteral("README.md")));
        if (candidate.isFile()) return QDir::cleanPath(candidate.absoluteFilePath());
    }
    return {};
}

}  // namespace qe::ui
