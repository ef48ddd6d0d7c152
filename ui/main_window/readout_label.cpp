#include "readout_label.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOption>

namespace qe::ui {

ReadoutLabel::ReadoutLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent), glyphs_(font()) {}

void ReadoutLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) glyphs_ = ReadoutGlyphs(font());
}

bool ReadoutLabel::paintsPlainLine() const {
    // Screens of finer pixel density, frames, margins, indents, wrapping, markup and
    // mnemonics are QLabel's to lay out.
    return textFormat() == Qt::PlainText && !wordWrap() && margin() == 0 && indent() <= 0 &&
           frameShape() == QFrame::NoFrame && contentsRect() == rect() && isEnabled() &&
           layoutDirection() == Qt::LeftToRight && devicePixelRatioF() == 1.0 &&
           !(alignment() & Qt::AlignJustify);
}

void ReadoutLabel::paintEvent(QPaintEvent* event) {
    if (!paintsPlainLine()) return QLabel::paintEvent(event);
    const QString shown = text();
    if (shown.isEmpty()) return QLabel::paintEvent(event);
    const std::optional<QGlyphRun> run = glyphs_.glyphRun(shown, rect(), alignment());
    if (!run) return QLabel::paintEvent(event);

    QPainter painter(this);
    // The pen the style gives a label's text, in the palette's group for this window's state.
    QStyleOption option;
    option.initFrom(this);
    painter.setPen(QPen(option.palette.brush(foregroundRole()), painter.pen().widthF()));
    painter.setClipRect(rect(), Qt::IntersectClip);
    painter.drawGlyphRun(QPointF(0, 0), *run);
}

}  // namespace qe::ui
