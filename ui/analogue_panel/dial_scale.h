#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

#include <vector>

class QImage;
class QPainter;

namespace qe::ui {

// One label of a dial scale: where its text's top-left corner goes on the dial image.
struct DialLabel {
    QPoint topLeft;
    QString text;
    friend bool operator==(const DialLabel&, const DialLabel&) = default;
};

// The label text's pixel size: 14 points on the 96-dpi design.
inline constexpr int kDialLabelPixelSize = 19;

// Eight labels 0° .. 315° clockwise from the top, on a circle of 0.75 of the half dial.
std::vector<DialLabel> positionScaleLabels(QSize dial);

// Nine labels from 0 Hz at -120° to the full range at +120°, clockwise through the top.
std::vector<DialLabel> tachoScaleLabels(QSize dial, double tachoRangeHz);

// Writes the labels into the dial image.
void drawDialLabels(QImage& dial, const std::vector<DialLabel>& labels);
// Draws them with a painter whose coordinates are the pixels of a dial of that size.
void drawDialLabels(QPainter& painter, QSize dial, const std::vector<DialLabel>& labels);

}  // namespace qe::ui
