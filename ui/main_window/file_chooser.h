#pragma once

#include <QString>
#include <optional>

class QFileDialog;
class QWidget;

namespace qe::ui {

// Asks the user for a configuration file; nothing when the user cancels.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual std::optional<QString> chooseSaveFile() = 0;
    virtual std::optional<QString> chooseOpenFile() = 0;
};

enum class FileDialogMode { Save, Open };

// Sets a dialog up as SaveDialog1 or OpenDialog1: one filter for configuration files, ".qcf"
// appended to a name typed without it, confirmation before replacing a file on save, and no
// demand on open that the file exists (opening it reports that).
void configureDialog(QFileDialog& dialog, FileDialogMode mode);

// The tool's file dialogs, set up by configureDialog.
class DialogFileChooser final : public FileChooser {
public:
    explicit DialogFileChooser(QWidget* parent) : parent_(parent) {}
    std::optional<QString> chooseSaveFile() override;
    std::optional<QString> chooseOpenFile() override;

private:
    QWidget* parent_;
};

}  // namespace qe::ui
