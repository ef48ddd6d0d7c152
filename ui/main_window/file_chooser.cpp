#include "file_chooser.h"

#include <QFileDialog>
#include <QStringList>

namespace qe::ui {

namespace {

std::optional<QString> runDialog(QWidget* parent, FileDialogMode mode) {
    QFileDialog dialog(parent);
    configureDialog(dialog, mode);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.front();
}

}  // namespace

void configureDialog(QFileDialog& dialog, FileDialogMode mode) {
    const bool save = mode == FileDialogMode::Save;
    dialog.setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
    dialog.setNameFilter(QStringLiteral("QE7204 configuration file (*.qcf)"));
    dialog.setDefaultSuffix(QStringLiteral("qcf"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A missing file is reported when it is opened, not by the dialog.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
}

std::optional<QString> DialogFileChooser::chooseSaveFile() {
    return runDialog(parent_, FileDialogMode::Save);
}

std::optional<QString> DialogFileChooser::chooseOpenFile() {
    return runDialog(parent_, FileDialogMode::Open);
}

}  // namespace qe::ui
