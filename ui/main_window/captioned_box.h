#pragma once

#include <QGroupBox>

namespace qe::ui {

// A group box drawn as the designed toolkit drew it: the frame runs through the middle of
// the caption, so controls placed at their designed offsets clear the frame line.
class CaptionedBox : public QGroupBox {
    Q_OBJECT
public:
    explicit CaptionedBox(const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace qe::ui
