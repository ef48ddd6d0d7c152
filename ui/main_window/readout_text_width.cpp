#include "readout_text_width.h"

#include <QFontMetricsF>
#include <QString>
#include <cmath>

namespace qe::ui {

std::optional<int> ReadoutTextWidth::width(QStringView text) {
    if (!learned_) learn();
    qreal sum = 0;
    qsizetype previous = -1;
    for (const QChar character : text) {
        const qsizetype index = kCharacters.indexOf(character);
        if (index < 0) return std::nullopt;
        sum += advances_[index];
        if (previous >= 0) sum += kerning_[previous][index];
        previous = index;
    }
    // Advances are whole 64ths of a pixel, so the sum is exact and rounds as Qt rounds it.
    return static_cast<int>(std::floor(sum + 0.5));
}

void ReadoutTextWidth::learn() {
    learned_ = true;
    const QFontMetricsF metrics(font_);
    for (qsizetype i = 0; i < kCount; ++i)
        advances_[i] = metrics.horizontalAdvance(QString(kCharacters[i]));
    // Each pair shaped as it is drawn; what it differs from its two advances is the font's
    // kerning of the pair ("11" in the Arial family).
    for (qsizetype first = 0; first < kCount; ++first)
        for (qsizetype second = 0; second < kCount; ++second)
            kerning_[first][second] =
                metrics.horizontalAdvance(QString(kCharacters[first]) + kCharacters[second]) -
                advances_[first] - advances_[second];
}

}  // namespace qe::ui
