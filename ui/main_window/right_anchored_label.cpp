#include "right_anchored_label.h"

#include <QEvent>
#include <QFontMetrics>
#include <algorithm>

namespace qe::ui {

namespace {

constexpr int kFrameInset = 2;  // the box's frame line
// Enough for every position of a turn in counts and in degrees, in a font that must be shaped.
constexpr qsizetype kMaxWantedWidths = 16384;

}  // namespace

RightAnchoredLabel::RightAnchoredLabel(const QString& text, const QRect& bounds, QWidget* parent)
    : ReadoutLabel(text, parent),
      rightEdge_(bounds.x() + bounds.width()),
      wantedFont_(font()),
      readoutWidth_(wantedFont_) {
    setAlignment(Qt::AlignRight | Qt::AlignTop);
    setMargin(0);
    setIndent(0);
    setGeometry(bounds);
    fitToText();
}

void RightAnchoredLabel::setAnchoredText(const QString& text) {
    // The readout sets its texts 15 times a second, mostly to what they already show.
    if (text == this->text() && !fitPending_) return;
    setText(text);
    // Measuring the text is the dear part; a hidden label (the compact display's, most of
    // the time) is measured once it is shown.
    if (isVisibleTo(window()))
        fitToText();
    else
        fitPending_ = true;
}

void RightAnchoredLabel::showEvent(QShowEvent* event) {
    if (fitPending_) fitToText();
    ReadoutLabel::showEvent(event);
}

void RightAnchoredLabel::changeEvent(QEvent* event) {
    ReadoutLabel::changeEvent(event);
    if (event->type() != QEvent::FontChange || fitting_) return;
    wantedFont_ = font();
    readoutWidth_ = ReadoutGlyphs(wantedFont_);
    wantedWidths_.clear();
    fitToText();
}

void RightAnchoredLabel::fitToText() {
    fitPending_ = false;
    fitting_ = true;
    // A text wider than its box is drawn smaller, rather than lose its first digits.
    QFont fitted = wantedFont_;
    const int room = parentWidget() ? parentWidget()->width() - 2 * kFrameInset : 0;
    int width = wantedWidth(text());
    for (int i = 0; room > 0 && width > room && fitted.pointSizeF() > 1.0 && i < 8; ++i) {
        fitted.setPointSizeF(std::max(1.0, fitted.pointSizeF() * room / width - 0.5));
        width = QFontMetrics(fitted).horizontalAdvance(text());
    }
    if (fitted != font()) setFont(fitted);
    fitting_ = false;

    // Grown to the left from the anchor, and moved right only as far as its box needs.
    int left = rightEdge_ - width;
    if (room > 0)
        left = std::clamp(left, std::min(kFrameInset, kFrameInset + room - width),
                          std::max(kFrameInset, kFrameInset + room - width));
    // A fixed size: a label that may change its own size asks its box to lay out again,
    // which a box without a layout does for nothing on every new text.
    const QSize fixed(width, QFontMetrics(fitted).height());
    if (fixed != size() || minimumSize() != fixed || maximumSize() != fixed) setFixedSize(fixed);
    if (left != x()) move(left, y());
}

int RightAnchoredLabel::wantedWidth(const QString& text) {
    if (const std::optional<int> width = readoutWidth_.width(text)) return *width;
    if (const auto found = wantedWidths_.constFind(text); found != wantedWidths_.cend())
        return *found;
    if (wantedWidths_.size() >= kMaxWantedWidths) wantedWidths_.clear();
    const int width = QFontMetrics(wantedFont_).horizontalAdvance(text);
    wantedWidths_.insert(text, width);
    return width;
}

}  // namespace qe::ui
