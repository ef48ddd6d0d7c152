// The SAVE and LOAD dialogs as set up, looked at without running them.
#include <gtest/gtest.h>
#include <QFileDialog>

#include "file_chooser.h"

namespace qe::ui::test {
namespace {

TEST(FileDialogs, OfferConfigurationFilesAndAskOnlyBeforeReplacingOne) {
    const struct {
        FileDialogMode mode;
        const char* objectName;
        QFileDialog::AcceptMode acceptMode;
    } cases[] = {
        {FileDialogMode::Save, "SaveDialog1", QFileDialog::AcceptSave},
        {FileDialogMode::Open, "OpenDialog1", QFileDialog::AcceptOpen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.objectName);
        QFileDialog dialog;

        configureDialog(dialog, c.mode);

        EXPECT_EQ(dialog.objectName(), c.objectName);
        EXPECT_EQ(dialog.acceptMode(), c.acceptMode);
        EXPECT_EQ(dialog.nameFilters(), QStringList{"QE7204 configuration file (*.qcf)"});
        EXPECT_EQ(dialog.defaultSuffix(), "qcf");
        // Saving asks before it replaces a file; opening takes a name whatever it names.
        EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
    }
}

}  // namespace
}  // namespace qe::ui::test
