#pragma once

#include <QHash>

#include "readout_glyphs.h"
#include "readout_label.h"

namespace qe::ui {

// A label that takes the size of its text and keeps its right edge where it was placed,
// so right-aligned numbers grow to the left; a text wider than the room moves right, or is
// drawn smaller, to stay inside its box (the label's parent). Its text goes in through
// setAnchoredText(); QLabel::setText() is not virtual and would leave the old size.
class RightAnchoredLabel : public ReadoutLabel {
    Q_OBJECT
public:
    RightAnchoredLabel(const QString& text, const QRect& bounds, QWidget* parent = nullptr);

    void setAnchoredText(const QString& text);

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fitToText();
    // The width of a text in the wanted font; shaping one is the dear part of showing it.
    int wantedWidth(const QString& text);

    int rightEdge_;
    QFont wantedFont_;  // as set; the font shown may be smaller to fit the box
    bool fitting_ = false;
    bool fitPending_ = false;           // a text came while the label was hidden
    ReadoutGlyphs readoutWidth_;        // in wantedFont_, without shaping
    QHash<QString, int> wantedWidths_;  // shaped, per text readoutWidth_ cannot measure
};

}  // namespace qe::ui
