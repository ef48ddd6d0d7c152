#include "right_anchored_label.h"

#include <QEvent>
#include <QFontMetrics>

namespace qe::ui {

RightAnchoredLabel::RightAnchoredLabel(const QString& text, const QRect& bounds, QWidget* parent)
    : QLabel(text, parent), rightEdge_(bounds.x() + bounds.width()) {
    setAlignment(Qt::AlignRight | Qt::AlignTop);
    setMargin(0);
    setIndent(0);
    setGeometry(bounds);
    fitToText();
}

void RightAnchoredLabel::setAnchoredText(const QString& text) {
    setText(text);
    fitToText();
}

void RightAnchoredLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) fitToText();
}

void RightAnchoredLabel::fitToText() {
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(text());
    setGeometry(rightEdge_ - width, y(), width, metrics.height());
}

}  // namespace qe::ui
