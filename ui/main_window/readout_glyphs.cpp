#include "readout_glyphs.h"

#include <QFontMetricsF>
#include <QString>
#include <QTextLayout>
#include <cmath>

namespace qe::ui {

namespace {

// One character laid out as a label lays out its text.
QList<QGlyphRun> laidOut(QChar character, const QFont& font, qreal* ascent) {
    QTextLayout layout(QString(character), font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    *ascent = line.ascent();
    return layout.glyphRuns();
}

}  // namespace

bool ReadoutGlyphs::indexesOf(QStringView text) {
    if (!learned_) learn();
    indexes_.clear();
    for (const QChar character : text) {
        const qsizetype index = kCharacters.indexOf(character);
        if (index < 0) return false;
        indexes_.append(index);
    }
    return true;
}

qreal ReadoutGlyphs::kerning(qsizetype first, qsizetype second) {
    std::optional<qreal>& kerning = kerning_[first][second];
    // The pair shaped as it is drawn; what it differs from its two advances is the font's
    // kerning of the pair ("11" in the Arial family).
    if (!kerning)
        kerning = QFontMetricsF(font_).horizontalAdvance(QString(kCharacters[first]) +
                                                         kCharacters[second]) -
                  advances_[first] - advances_[second];
    return *kerning;
}

qreal ReadoutGlyphs::advanceOfIndexes() {
    // Advances are whole 64ths of a pixel, so the sum is exact.
    qreal sum = 0;
    for (qsizetype i = 0; i < indexes_.size(); ++i) {
        sum += advances_[indexes_[i]];
        if (i > 0) sum += kerning(indexes_[i - 1], indexes_[i]);
    }
    return sum;
}

std::optional<int> ReadoutGlyphs::width(QStringView text) {
    if (!indexesOf(text)) return std::nullopt;
    return static_cast<int>(std::floor(advanceOfIndexes() + 0.5));
}

std::optional<QGlyphRun> ReadoutGlyphs::glyphRun(QStringView text, const QRect& rect,
                                                 Qt::Alignment alignment) {
    if (!indexesOf(text) || !face_ || indexes_.isEmpty()) return std::nullopt;
    // Lines at the top only: where a line is centred or put at the bottom, its rounding
    // is left to QLabel.
    if ((alignment & Qt::AlignVertical_Mask) != Qt::AlignTop) return std::nullopt;
    const qreal advance = advanceOfIndexes();
    qreal x = rect.x();
    if (alignment & Qt::AlignRight)
        x += rect.width() - advance;
    else if (alignment & Qt::AlignHCenter)
        x += (rect.width() - advance) / 2;
    // A text wider than the label by more than the rounding of its width to pixels is
    // clipped, its line placed as QLabel places it; that is QLabel's to draw.
    if (x <= rect.x() - 1) return std::nullopt;

    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(indexes_.size());
    positions.reserve(indexes_.size());
    // Text layout keeps a place in whole 64ths of a pixel and cuts off the rest.
    qreal pen = std::floor(x * 64.0) / 64.0;
    const qreal baseline = rect.y() + ascent_;
    for (qsizetype i = 0; i < indexes_.size(); ++i) {
        if (i > 0) pen += advances_[indexes_[i - 1]] + kerning(indexes_[i - 1], indexes_[i]);
        glyphs.append(glyphs_[indexes_[i]]);
        positions.append(QPointF(pen, baseline));
    }
    QGlyphRun run;
    run.setRawFont(*face_);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    return run;
}

void ReadoutGlyphs::learn() {
    learned_ = true;
    const QFontMetricsF metrics(font_);
    for (qsizetype i = 0; i < kCount; ++i)
        advances_[i] = metrics.horizontalAdvance(QString(kCharacters[i]));
    // Each character's glyph, as a label's layout picks it: all from one face, or none drawn.
    std::optional<QRawFont> face;
    for (qsizetype i = 0; i < kCount; ++i) {
        qreal ascent = 0;
        const QList<QGlyphRun> runs = laidOut(kCharacters[i], font_, &ascent);
        if (runs.size() != 1 || runs.front().glyphIndexes().size() != 1) return;
        if (!face) {
            face = runs.front().rawFont();
            ascent_ = ascent;
        } else if (runs.front().rawFont() != *face || ascent != ascent_) {
            return;
        }
        glyphs_[i] = runs.front().glyphIndexes().front();
    }
    face_ = face;
}

}  // namespace qe::ui
