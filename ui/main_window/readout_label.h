#pragma once

#include <QLabel>

#include "readout_glyphs.h"

namespace qe::ui {

// A label of the live readout. It paints a plain one-line text of a readout's characters
// from glyphs learned once for its font, where QLabel would paint them, so that a new text
// is drawn without shaping it; any other text or set-up it leaves to QLabel.
class ReadoutLabel : public QLabel {
    Q_OBJECT
public:
    explicit ReadoutLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // True when the label paints its text as QLabel lays out a plain line in its contents.
    bool paintsPlainLine() const;

    ReadoutGlyphs glyphs_;  // in the label's font
};

}  // namespace qe::ui
