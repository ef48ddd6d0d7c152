#pragma once

namespace qe::ui {

// What the main window asks of the analogue panel window. The panel implements it; the
// main window works without one and then offers no panel.
class AnaloguePanelView {
public:
    virtual ~AnaloguePanelView() = default;

    virtual bool isPanelVisible() const = 0;
    virtual void setPanelVisible(bool visible) = 0;
    virtual void repaintPanel() = 0;

    // Both fractions in [0, 1): relative position of a revolution, speed of the tacho range.
    virtual void UpdateNeedles(double positionFraction, double tachoFraction) = 0;
    virtual bool showsTachoScale() const = 0;
    virtual void SkalaJeTaho() = 0;

    virtual void LoadWindowLayout() = 0;
    virtual void SaveWindowLayout() = 0;
};

}  // namespace qe::ui
