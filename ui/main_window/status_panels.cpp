#include "status_panels.h"

#include <QLabel>

namespace qe::ui {

StatusPanels::StatusPanels(const std::vector<int>& panelWidths, QWidget* parent)
    : QFrame(parent), widths_(panelWidths) {
    // Opaque, so that controls it covers in the compact window do not show through.
    setAutoFillBackground(true);
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        auto* panel = new QLabel(this);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setIndent(2);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        panels_.push_back(panel);
    }
    arrangePanels();
}

void StatusPanels::setPanelText(int index, const QString& text) {
    if (index < 0 || index >= panelCount()) return;
    panels_[static_cast<std::size_t>(index)]->setText(text);
}

QString StatusPanels::panelText(int index) const {
    if (index < 0 || index >= panelCount()) return {};
    return panels_[static_cast<std::size_t>(index)]->text();
}

void StatusPanels::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    arrangePanels();
}

void StatusPanels::arrangePanels() {
    int left = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        panels_[i]->setGeometry(left, 2, widths_[i] - 2, height() - 2);
        left += widths_[i];
    }
}

}  // namespace qe::ui
