#include "dial_scale.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <numbers>

#include "design_fonts.h"

namespace qe::ui {

namespace {

constexpr double kLabelRadius = 0.75;  // of half the dial's size
constexpr int kTextOffsetX = 20;
constexpr int kTextOffsetY = 14;
constexpr int kPositionLabels = 8;
constexpr int kTachoLabels = 9;
constexpr int kShortTextLength = 4;
const QColor kLabelInk(40, 44, 52);

// Rounds halves to the even neighbour (the default rounding mode).
int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

// `angle` in radians, clockwise from the top of the dial.
QPoint labelCorner(QSize dial, double angle) {
    const double x0 = (kLabelRadius * std::sin(angle) + 1.0) * dial.width() / 2.0;
    const double y0 = (1.0 - kLabelRadius * std::cos(angle)) * dial.height() / 2.0;
    return {roundHalfEven(x0) - kTextOffsetX, roundHalfEven(y0) - kTextOffsetY};
}

}  // namespace

std::vector<DialLabel> positionScaleLabels(QSize dial) {
    std::vector<DialLabel> labels;
    for (int i = 0; i < kPositionLabels; ++i) {
        const double share = static_cast<double>(i) / kPositionLabels;
        QString text = QString::number(roundHalfEven(share * 360.0)) + QChar(0x00B0);
        // Short labels move right, towards the middle of the place the long ones take.
        if (text.size() < kShortTextLength) text.prepend(QStringLiteral("  "));
        labels.push_back({labelCorner(dial, share * 2.0 * std::numbers::pi), text});
    }
    return labels;
}

std::vector<DialLabel> tachoScaleLabels(QSize dial, double tachoRangeHz) {
    std::vector<DialLabel> labels;
    constexpr int steps = kTachoLabels - 1;
    for (int i = 0; i < kTachoLabels; ++i) {
        const double share = static_cast<double>(i) / steps;
        const double angle = share * 4.0 * std::numbers::pi / 3.0 - 2.0 * std::numbers::pi / 3.0;
        const QString text =
            QString::number(roundHalfEven(share * tachoRangeHz)) + QStringLiteral(" Hz");
        labels.push_back({labelCorner(dial, angle), text});
    }
    return labels;
}

void drawDialLabels(QImage& dial, const std::vector<DialLabel>& labels) {
    if (dial.isNull()) return;
    QPainter painter(&dial);
    drawDialLabels(painter, dial.size(), labels);
}

void drawDialLabels(QPainter& painter, QSize dial, const std::vector<DialLabel>& labels) {
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(designFont(QStringLiteral("Tahoma"), kDialLabelPixelSize));
    painter.setPen(kLabelInk);
    for (const DialLabel& label : labels) {
        const QRect box(label.topLeft, dial);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, label.text);
    }
}

}  // namespace qe::ui
