// SAVE keeps the working words 48..55 in a configuration file; LOAD puts such a file into
// the mirror, the settings panel and the chip's working registers.
#include <QFile>
#include <filesystem>

#include "chip_exchange_guard.h"
#include "configuration_file.h"
#include "file_chooser.h"
#include "main_window.h"

namespace qe::ui {

namespace {

std::filesystem::path localPath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

}  // namespace

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
    // The mirror as it stands; the chip is not asked.
    const chip::FileStatus status = chip::saveConfigurationFile(localPath(*path), link_.image());
    if (!status) link_.messages().show(MessageKind::Exception, chip::fileStatusText(status));
}

void MainWindow::BtnLoadClick() {
    const std::optional<QString> path = fileChooser_->chooseOpenFile();
    if (!path) return;
    const ChipExchangeGuard exchange(chipExchanges_);
    auto& image = link_.image();
    const chip::FileStatus status = chip::loadConfigurationFile(localPath(*path), image);
    if (!status) {
        link_.messages().show(MessageKind::Exception, chip::fileStatusText(status));
        return;
    }
    FillSettingsPanel();

    // All eight words go to the chip, those the file did not supply as the mirror had them.
    // A refused write ends the load without a message.
    for (std::uint8_t reg = chip::kFirstFileWord; reg < chip::kFirstFileWord + chip::kFileWords;
         ++reg) {
        if (!link_.WriteRegister(link_.ChipAddress, reg, image[reg])) return;
        // The chip answers at the address in word 48 from the moment it has it.
        if (reg == chip::fields::ADDR.word)
            link_.ChipAddress =
                static_cast<std::uint8_t>(chip::fieldValue(image[reg], chip::fields::ADDR));
    }
    // Fresh positions for the readout part of the fill.
    link_.ReadRegister(link_.ChipAddress, chip::fields::RelPos.word);
    link_.ReadRegister(link_.ChipAddress, chip::fields::AbsPos.word);
    FillSettingsPanel();
}

}  // namespace qe::ui
