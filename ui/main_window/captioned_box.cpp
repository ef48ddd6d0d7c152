#include "captioned_box.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

namespace qe::ui {

namespace {
constexpr int kCaptionLeft = 8;
constexpr int kCaptionPadding = 1;
}  // namespace

CaptionedBox::CaptionedBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

void CaptionedBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int lineY = metrics.height() / 2;

    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(QRect(0, lineY, width() - 1, height() - lineY - 1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(QRect(1, lineY + 1, width() - 3, height() - lineY - 3));

    if (title().isEmpty()) return;
    const QRect caption(kCaptionLeft, 0, metrics.horizontalAdvance(title()) + 2 * kCaptionPadding,
                        metrics.height());
    painter.fillRect(caption, palette().window());
    style()->drawItemText(&painter, caption.adjusted(kCaptionPadding, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignTop, palette(), isEnabled(), title(),
                          QPalette::WindowText);
}

}  // namespace qe::ui
