#pragma once

#include <QFrame>
#include <QString>
#include <vector>

class QLabel;

namespace qe::ui {

// A status bar of fixed-width text panels along the bottom edge of a window.
class StatusPanels : public QFrame {
    Q_OBJECT
public:
    StatusPanels(const std::vector<int>& panelWidths, QWidget* parent = nullptr);

    int panelCount() const { return static_cast<int>(panels_.size()); }
    void setPanelText(int index, const QString& text);
    QString panelText(int index) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrangePanels();

    std::vector<QLabel*> panels_;
    std::vector<int> widths_;
};

}  // namespace qe::ui
