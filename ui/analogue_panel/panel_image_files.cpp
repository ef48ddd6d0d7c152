#include "panel_image_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringList>

#include "install_layout.h"

// Quiet unless asked for (QT_LOGGING_RULES="qe7204.data.debug=true"): tells where each
// image was found, so a packaging check can see that an installed program finds its data.
Q_LOGGING_CATEGORY(lcPanelData, "qe7204.data", QtWarningMsg)

namespace qe::ui {

QString locatePanelImage(const QString& bareName) {
    return locatePanelImage(bareName, QCoreApplication::applicationDirPath());
}

QString locatePanelImage(const QString& bareName, const QString& programFolder) {
    const QStringList candidates = {
        bareName,
        QDir(programFolder).filePath(bareName),
        QDir(installedDataFolder(programFolder)).filePath(bareName),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            qCDebug(lcPanelData).noquote()
                << bareName << "found at" << QFileInfo(candidate).absoluteFilePath();
            return candidate;
        }
    }
    qCDebug(lcPanelData).noquote() << bareName << "not found in" << QDir::currentPath() + ','
                                   << programFolder << "or" << installedDataFolder(programFolder);
    return {};
}

}  // namespace qe::ui
