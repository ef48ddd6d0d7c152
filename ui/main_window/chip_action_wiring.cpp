// Connects the chip configuration controls to their handlers.
#include <QLineEdit>
#include <QPushButton>

#include "focus_exit_watcher.h"
#include "main_window.h"
#include "radio_group.h"
#include "setting_controls.h"

namespace qe::ui {

void MainWindow::connectChipActions() {
    for (const chip::SettingGroup& group : chip::settingGroups())
        if (RadioGroup* control = radioGroup(QString::fromLatin1(settingControlName(group.key))))
            connect(control, &RadioGroup::clicked, this,
                    [this, &group](int item) { RadioGroupClick(group, item); });

    const struct {
        const char* button;
        void (MainWindow::*handler)();
    } buttons[] = {
        {"BtnProg", &MainWindow::BtnProgClick},
        {"BtnRead", &MainWindow::BtnReadClick},
        {"BtnDolociNaslov", &MainWindow::BtnSetAddressClick},
        {"BtnPresetZero", &MainWindow::BtnPresetZeroClick},
        {"BtnZeroCurrentPos", &MainWindow::BtnZeroCurrentPosClick},
        {"ButtonSetHysteresis", &MainWindow::ButtonSetHysteresisClick},
        {"BtnSave", &MainWindow::BtnSaveClick},
        {"BtnLoad", &MainWindow::BtnLoadClick},
    };
    for (const auto& [name, handler] : buttons)
        if (auto* button = qobject_cast<QPushButton*>(control(name)))
            connect(button, &QPushButton::clicked, this, handler);

    new FocusExitWatcher(EdNaslovCipa, [this] { EdNaslovCipaExit(); });
    new FocusExitWatcher(EdPosZ, [this] { EdPosZExit(); });
}

}  // namespace qe::ui
