#include "project_documentation.h"

#include <QDir>
#include <QFileInfo>

namespace qe::ui {

QString projectDocumentation(const QString& programFolder) {
    const QDir folder(programFolder);
    for (const char* relative : {"README.md", "../share/doc/qe7204-tool/README.md"}) {
        const QFileInfo candidate(folder.filePath(QString::fromLatin1(relative)));
        if (candidate.isFile()) return QDir::cleanPath(candidate.absoluteFilePath());
    }
    return {};
}

}  // namespace qe::ui
