// SAVE keeps the working words 48..55 in a configuration file; LOAD puts such a file into
// the mirror, the settings panel and the chip's working registers.
#include "chip_exchange_guard.h"
#include "file_chooser.h"
#include "local_path.h"
#include "main_window.h"

namespace qe::ui {

void MainWindow::setFileChooser(FileChooser* chooser) {
    if (!chooser) {
        if (!fileDialogs_) fileDialogs_ = std::make_unique<DialogFileChooser>(this);
        chooser = fileDialogs_.get();
    }
    fileChooser_ = chooser;
}

void MainWindow::BtnSaveClick() {
    const std::optional<QString> path = fileChooser_->chooseSaveFile();
    if (!path) return;
    (void)chip_.saveFile(localPath(*path));  // a failure has shown its box
}

void MainWindow::BtnLoadClick() {
    const std::optional<QString> path = fileChooser_->chooseOpenFile();
    if (!path) return;
    const ChipExchangeGuard exchange(chipExchanges_);
    if (!chip_.loadFile(localPath(*path)).ok()) return;
    FillSettingsPanel();
    // A refused write ends the load without a message.
    if (!chip_.writeLoadedWords().ok()) return;
    FillSettingsPanel();
}

}  // namespace qe::ui
