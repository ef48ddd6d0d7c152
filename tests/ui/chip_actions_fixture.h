#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "main_window_fixture.h"
#include "qe7204_chip.h"
#include "radio_group.h"

namespace qe::ui::test {

// An analogue panel that shows the scale the test chooses and counts its redraws.
class ScalePanel final : public AnaloguePanelView {
public:
    bool isPanelVisible() const override { return false; }
    void setPanelVisible(bool) override {}
    void repaintPanel() override {}
    void UpdateNeedles(double, double) override {}
    bool showsTachoScale() const override { return tachoScale; }
    void SkalaJeTaho() override { ++tachoScaleDrawings; }
    void LoadWindowLayout() override {}
    void SaveWindowLayout() override {}

    bool tachoScale = false;
    int tachoScaleDrawings = 0;
};

// A main window on the simulated adapter with one powered chip at address 0, found by a scan
// and read into the settings panel; transcript and messages start empty.
class ChipActionsTest : public MainWindowTest {
protected:
    void SetUp() override {
        startSimulated();
        tickWithScan();
        settle();
    }

    sim::Qe7204Chip& chip() { return adapter().bus().chip(0); }

    // The chip's working registers hold these words, and the panel shows them after a re-read.
    void chipHolds(std::initializer_list<std::pair<std::uint8_t, std::uint16_t>> words) {
        for (const auto& [reg, word] : words) chip().write(reg, word);
        window->RefreshSettingsPanel();
        settle();
    }

    void settle() {
        transcript().clear();
        sink.clear();
    }

    RadioGroup* group(const char* name) { return find<RadioGroup>(name); }

    // Selects an item the way filling the panel does, so no handler acts on it.
    void showItem(const char* name, int item) {
        window->PanelReady = false;
        group(name)->setItemIndex(item);
        window->PanelReady = true;
    }

    // The message boxes of the tool's own errors, in order.
    static std::vector<std::pair<MessageKind, std::string>> errors(
        const std::vector<const char*>& texts) {
        std::vector<std::pair<MessageKind, std::string>> shown;
        for (const char* text : texts) shown.emplace_back(MessageKind::Error, text);
        return shown;
    }
};

}  // namespace qe::ui::test
