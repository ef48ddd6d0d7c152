#include "file_chooser.h"

#include <QFileDialog>
#include <QStringList>

namespace qe::ui {

namespace {

std::optional<QString> runDialog(QWidget* parent, const QString& objectName, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
    dialog.setObjectName(objectName);
    dialog.setNameFilter(QStringLiteral("QE7204 configuration file (*.qcf)"));
    dialog.setDefaultSuffix(QStringLiteral("qcf"));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.front();
}

}  // namespace

std::optional<QString> DialogFileChooser::chooseSaveFile() {
    // A save dialog asks before it replaces an existing file.
    return runDialog(parent_, QStringLiteral("SaveDialog1"), QFileDialog::AcceptSave);
}

std::optional<QString> DialogFileChooser::chooseOpenFile() {
    return runDialog(parent_, QStringLiteral("OpenDialog1"), QFileDialog::AcceptOpen);
}

}  // namespace qe::ui
