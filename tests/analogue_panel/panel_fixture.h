#pragma once

#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include <memory>

#include "analogue_panel.h"
#include "image_view.h"
#include "main_window_fixture.h"
#include "panel_test_images.h"
#include "rot_layer.h"

namespace qe::ui::test {

// A main window with its analogue panel, the panel's images in the current directory.
class PanelTest : public MainWindowTest {
protected:
    void makePanel() {
        panel = std::make_unique<AnaloguePanel>(*window, *device, boxes);
        window->setAnaloguePanel(panel.get());
    }
    // The usual start: simulated adapter with one chip, all three image files present.
    void startPanel() {
        folder.writeAll();
        startSimulated();
        makePanel();
    }

    template <typename T>
    T* panelChild(const char* name) const {
        auto* child = panel->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QRadioButton* positionButton() const { return panelChild<QRadioButton>("RadioButton1"); }
    QRadioButton* tachoButton() const { return panelChild<QRadioButton>("RadioButton2"); }
    QToolButton* settingsToggle() const { return find<QToolButton>("SpeedButtonHide"); }
    QLineEdit* zeroField() const { return find<QLineEdit>("EdPosZ"); }
    const QImage& dial() const { return panel->imgView().bitmap(); }

    ImageFolder folder;
    std::unique_ptr<AnaloguePanel> panel;
};

}  // namespace qe::ui::test
